// NeutralNumericLocale: while one lives, the calling thread formats numbers
// in the neutral "C" numeric locale, so printf-style output always carries a
// decimal point, whatever LC_NUMERIC the host process set.
//
// Contract. The switch is made with uselocale() on the constructing thread
// only: other threads of the host keep their locale, and the process-wide
// setting is never touched. Scopes on one thread share one switch: the first
// makes it, the last to go (in any order) restores the thread's previous
// locale. A scope must be destroyed on the thread that created it; one
// destroyed elsewhere leaves its thread switched. Should the neutral locale
// not be creatable (out of memory), nothing is switched and numbers follow
// the current locale.
#pragma once

namespace tal {

class NeutralNumericLocale {
public:
    NeutralNumericLocale();
    ~NeutralNumericLocale();

    NeutralNumericLocale(const NeutralNumericLocale&) = delete;
    NeutralNumericLocale& operator=(const NeutralNumericLocale&) = delete;

    // True when the neutral numeric locale is in force for this thread.
    bool active() const;

private:
    void* thread_;  // the creating thread's shared switch
};

}  // namespace tal
