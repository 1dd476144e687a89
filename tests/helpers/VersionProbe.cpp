// Prints what the support library finds about the running executable, for
// tests that copy, strip or move the executable and run it.
#include "FileOper.h"
#include "SysOper.h"

#include <cstdio>

int main() {
    std::printf("%s\n%s\n", TFileOper::GetVersion().c_str(), TSysOper::GetAppPath().c_str());
    return 0;
}
