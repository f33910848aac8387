#pragma once

// Standard input and output as bytes, as on POSIX: no CRLF translation, no end at ^Z.
#ifdef _WIN32
void use_binary_standard_streams();
#else
inline void use_binary_standard_streams() {}
#endif
