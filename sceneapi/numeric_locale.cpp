#include "sceneapi/numeric_locale.h"

#include <locale.h>

namespace tal {

namespace {

// One per thread: the locale to restore, the neutral one, and how many
// scopes use it.
struct ThreadSwitch {
    locale_t previous{};
    locale_t neutral{};
    int users = 0;
};

thread_local ThreadSwitch threadSwitch;

}  // namespace

NeutralNumericLocale::NeutralNumericLocale() : thread_(&threadSwitch) {
    ThreadSwitch& s = threadSwitch;
    if (s.users++ > 0) return;
    // The thread's current locale (LC_GLOBAL_LOCALE when it never chose one)
    // keeps every category but LC_NUMERIC: messages, collation and character
    // classes stay what the host set.
    s.previous = uselocale(locale_t{});
    locale_t base = duplocale(s.previous);
    if (base == locale_t{}) return;
    s.neutral = newlocale(LC_NUMERIC_MASK, "C", base);
    if (s.neutral == locale_t{}) {
        freelocale(base);
        return;
    }
    uselocale(s.neutral);
}

NeutralNumericLocale::~NeutralNumericLocale() {
    ThreadSwitch& s = threadSwitch;
    if (&s != thread_) return;  // another thread: its switch is not ours to undo
    if (--s.users > 0 || s.neutral == locale_t{}) return;
    uselocale(s.previous);
    freelocale(s.neutral);
    s.neutral = locale_t{};
}

bool NeutralNumericLocale::active() const {
    return thread_ == &threadSwitch && threadSwitch.neutral != locale_t{} &&
           uselocale(locale_t{}) == threadSwitch.neutral;
}

}  // namespace tal
