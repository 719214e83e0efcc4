/* ketrowa-probe: asks Ketrowa.dll whether the document camera is attached, the way any other program
 * would: load the library by name, look up its one export, call it.
 * Prints the answer; exit status 0 when attached, 1 when not, 2 when the library cannot be used. */

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "probe/ketrowa.h"

/* Beside this program first, then by plain name (LD_LIBRARY_PATH, the system's folders). The folder is
 * named outright because a run path is only honoured for the object that calls dlopen, and a sanitizer
 * or preloaded library may make that call on the program's behalf. */
static void* LoadKetrowa(void) {
    static const char kName[] = "Ketrowa.dll";
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - sizeof kName);
    if (length > 0) {
        path[length] = '\0';
        char* slash = strrchr(path, '/');
        if (slash != NULL) {
            memcpy(slash + 1, kName, sizeof kName);
            void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
            if (library != NULL) return library;
        }
    }
    return dlopen(kName, RTLD_NOW | RTLD_LOCAL);
}

int main(void) {
    void* library = LoadKetrowa();
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
