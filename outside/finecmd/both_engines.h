#pragma once
// Parts of one picture read on two cores: a recognizer's engine and its partner each take the next part
// not yet read until all are. A card's rows and lines are read one by one, each on its own, and the
// engine is the whole of the time.

#include <atomic>
#include <cstddef>
#include <locale>
#include <mutex>
#include <thread>

#include "outside/finecmd/recognizer.h"

namespace outside {

// The parts' rules compile regular expressions on both threads, which look characters up in the locale's
// table of narrowed characters; the standard library fills it lazily, a character at a time, on first use.
// Filled whole once, before a second thread runs, it is only read.
inline void FillNarrowedCharacters() {
    static std::once_flag filled;
    std::call_once(filled, [] {
        char all[256], narrowed[256];
        for (int c = 0; c < 256; ++c) all[c] = static_cast<char>(c);
        std::use_facet<std::ctype<char>>(std::locale()).narrow(all, all + 256, '\0', narrowed);
    });
}

// Calls `read(engine, i)` once for each i in [0, count), on `recognizer` and, side by side, on its partner
// set to read as `recognizer` does now; on `recognizer` alone where it has no partner or there is one
// part (or its partner is at work already: the parts are read in turn). `read` uses no engine but the one it
// is given and touches no result but part i's; which engine reads a part does not change its reading (the
// engines keep nothing from one picture to the next).
template <typename Read>
void ReadOnBothEngines(Recognizer& recognizer, size_t count, Read&& read) {
    Recognizer* partner = count > 1 ? recognizer.BorrowPartner() : nullptr;
    if (!partner) {
        for (size_t i = 0; i < count; ++i) read(recognizer, i);
        return;
    }
    recognizer.CopySettingsTo(*partner);
    FillNarrowedCharacters();
    std::atomic<size_t> next{0};
    const auto work = [&](Recognizer& engine) {
        for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) read(engine, i);
    };
    {
        std::jthread second([&] { work(*partner); });
        work(recognizer);
    }
    recognizer.ReturnPartner();
}

}  // namespace outside
