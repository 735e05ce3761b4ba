#pragma once
// Why a file of the user's (a key file, a write history, the state snapshot) was not read or
// written, as a clause in the user's words that each front-end puts into its own sentence. The
// clauses are written in English and translated in the context "tavrel::files", as tavrelctl's
// messages are; a system error becomes a sentence of our own, as the C library's texts follow no
// language rule of ours.

#include "platform/ioresult.h"

#include <QString>

namespace tavrel {

// The reason as a clause that follows "FILE cannot be read: " or "FILE cannot be written: ".
QString fileFailureText(const IoResult& result);

// An errno in our own words: "there is no such file or folder", "the disk is full".
QString systemErrorText(int error);

}  // namespace tavrel
