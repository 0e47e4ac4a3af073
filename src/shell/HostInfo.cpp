#include "shell/HostInfo.h"

#include <QLocale>
#include <QSysInfo>

namespace corvel {

std::string ReadSystemDecimalSeparator() {
    return QLocale::system().decimalPoint().toStdString();
}

bool Is64BitArchitecture(const std::string& architecture) {
    return architecture == "x86_64" || architecture == "ia64";
}

bool Is64BitHost() {
    // The kernel's architecture, not this build's: a 32-bit build on a
    // 64-bit machine still reports the machine.
    return Is64BitArchitecture(QSysInfo::currentCpuArchitecture().toStdString());
}

}  // namespace corvel
