// What the user can do about an error, in Spanish, by its kind (and, for a damaged table,
// whether it is Clepsa's SOLUC). The front ends show it after the error's own message.
#pragma once

#include <exception>
#include <string>

#include "base/error.h"

namespace tc {

// Empty when there is nothing useful to say (a fault of the program itself).
std::string WhatToDo(const Error& error);

// Any exception as an error of ours: tc::Error as it is; anything else (no memory left, a
// failure of the standard library) with a Spanish message, the original text kept as a
// technical detail.
Error AsError(const std::exception& exception);

}  // namespace tc
