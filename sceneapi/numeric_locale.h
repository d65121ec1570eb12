// NeutralNumericLocale: while it lives, the calling thread formats numbers in
// the neutral "C" numeric locale, so printf-style output always carries a
// decimal point, whatever LC_NUMERIC the host process set.
//
// Contract. The switch is made with uselocale() on the constructing thread
// only: other threads of the host keep their locale, and the process-wide
// setting is never touched. The destructor restores the thread's previous
// locale, so scopes on one thread must end in reverse order of their start
// (as scoped objects do). Should the neutral locale not be creatable (out of
// memory), nothing is switched and numbers follow the current locale.
#pragma once

#include <locale.h>

namespace tal {

class NeutralNumericLocale {
  public:
    NeutralNumericLocale();
    ~NeutralNumericLocale();

    NeutralNumericLocale(const NeutralNumericLocale&) = delete;
    NeutralNumericLocale& operator=(const NeutralNumericLocale&) = delete;

    // True when the neutral numeric locale is in force for this thread.
    bool active() const { return neutral_ != locale_t{}; }

  private:
    locale_t previous_{};
    locale_t neutral_{};
};

}  // namespace tal
