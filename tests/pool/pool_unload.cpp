// Windows: a DLL holding the library is unloaded after its workers ran. The
// DLL (built from the same file with POOL_UNLOAD_DLL) multiplies on the
// library's workers; the program loads it, calls it, frees it and requires
// that FreeLibrary returns, that the DLL is gone from the process once its
// idle workers have ended (none is left running its code), and that it
// loads and works again afterwards. Last it loads the DLL once more, lets it
// start its workers and returns from main with it loaded: the process must
// end.
#include <windows.h>

#include <cstdio>

#if defined(POOL_UNLOAD_DLL)

#include "support/identity_product.h"

// The product of a 300 x 300 matrix and the identity on three threads:
// 1 when it is right and ran on the workers.
extern "C" __declspec(dllexport) int pool_unload_multiply(void)
{
    mtrx_detail::pool_set_threads(3);
    return product_by_identity_holds(300) && mtrx_detail::pool_stats().running > 0 ? 1 : 0;
}

#else

namespace {

bool load_call_free(bool keep = false)
{
    HMODULE dll = LoadLibraryW(L"pool_unload_dll.dll");
    if (!dll) {
        std::fprintf(stderr, "pool_unload: cannot load the DLL (%lu)\n", GetLastError());
        return false;
    }
    auto multiply = reinterpret_cast<int (*)(void)>(
        reinterpret_cast<void *>(GetProcAddress(dll, "pool_unload_multiply")));
    if (!multiply || multiply() != 1) {
        std::fputs("pool_unload: the product on the workers failed\n", stderr);
        return false;
    }
    if (keep)
        return true;
    if (!FreeLibrary(dll)) {
        std::fputs("pool_unload: FreeLibrary failed\n", stderr);
        return false;
    }
    for (int i = 0; i < 300 && GetModuleHandleW(L"pool_unload_dll.dll"); ++i)
        Sleep(100);
    if (GetModuleHandleW(L"pool_unload_dll.dll")) {
        std::fputs("pool_unload: the DLL stays loaded\n", stderr);
        return false;
    }
    return true;
}

} // namespace

int main()
{
    return load_call_free() && load_call_free() && load_call_free(true) ? 0 : 1;
}

#endif
