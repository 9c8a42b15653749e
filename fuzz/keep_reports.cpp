// The start of the targets that capture stderr: the sanitizers' reports go to
// the real one, also while written(2, ...) holds it to capture what the
// library writes there.
#include <cstdint>

#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<std::intptr_t>(dup(2))));
    return 0;
}
