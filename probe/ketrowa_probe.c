/* ketrowa-probe: asks Ketrowa.dll whether the document camera is attached, the way any other program
 * would: load the library by name, look up its one export, call it.
 * Prints the answer; exit status 0 when attached, 1 when not, 2 when the library cannot be used.
 * The library is found beside this program (run path $ORIGIN) or on LD_LIBRARY_PATH. */

#include <dlfcn.h>
#include <stdio.h>

#include "probe/ketrowa.h"

int main(void) {
    void* library = dlopen("Ketrowa.dll", RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "ketrowa-probe: cannot load Ketrowa.dll: %s\n", dlerror());
        return 2;
    }
    KetrowaFn ketrowa = (KetrowaFn)dlsym(library, "Ketrowa");
    if (ketrowa == NULL) {
        fprintf(stderr, "ketrowa-probe: Ketrowa.dll has no Ketrowa export\n");
        dlclose(library);
        return 2;
    }
    int32_t attached = ketrowa();
    dlclose(library);
    printf(attached == 1 ? "1: the camera is attached\n" : "0: the camera is not attached\n");
    return attached == 1 ? 0 : 1;
}
