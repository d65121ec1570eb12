#include "sceneapi/numeric_locale.h"

namespace tal {

NeutralNumericLocale::NeutralNumericLocale() {
    // The thread's current locale (LC_GLOBAL_LOCALE when it never chose one)
    // keeps every category but LC_NUMERIC: messages, collation and character
    // classes stay what the host set.
    previous_ = uselocale(locale_t{});
    locale_t base = duplocale(previous_);
    if (base == locale_t{}) return;
    neutral_ = newlocale(LC_NUMERIC_MASK, "C", base);
    if (neutral_ == locale_t{}) {
        freelocale(base);
        return;
    }
    uselocale(neutral_);
}

NeutralNumericLocale::~NeutralNumericLocale() {
    if (neutral_ == locale_t{}) return;
    uselocale(previous_);
    freelocale(neutral_);
}

}  // namespace tal
