// Vellumo: capture program for USB document cameras.
#include "app/application/vellumo_app.h"

int main(int argc, char** argv) {
    if (!theApp.InitInstance(argc, argv)) {
        theApp.ExitInstance();
        return 0;
    }
    int code = theApp.Run();
    theApp.ExitInstance();
    return code;
}
