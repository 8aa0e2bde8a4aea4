#pragma once

#include <string>

namespace tolvane {

// The program's own errors beside the system's numbers: negative, so that no errno meets them.
// A name to be written holds a symbolic link, a pipe, a folder or a device, which the program
// never writes through nor replaces.
inline constexpr int kErrorNotRegularFile = -2;

// A system error number (errno) as a short Spanish phrase with the number beside it, such as
// "no queda espacio en el disco (código del sistema 28)": the messages are Spanish sentences,
// and the system's own texts would put English in them.
std::string SystemErrorText(int error);

}  // namespace tolvane
