#pragma once

#include <string>

namespace tolvane {

// A system error number (errno) as a short Spanish phrase with the number beside it, such as
// "no queda espacio en el disco (código del sistema 28)": the messages are Spanish sentences,
// and the system's own texts would put English in them.
std::string SystemErrorText(int error);

}  // namespace tolvane
