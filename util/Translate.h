// The texts people see from native code (button labels, --help, dialogs), through gettext's "tvn"
// domain: `translate` gives a text in the language the process's locale and LANGUAGE name, or the
// text itself when there is no translation. Log lines are not translated. `N_` only marks a text
// for the translators' tools, where it is stored before it is shown.
#pragma once

#include <libintl.h>

namespace tvn {

inline const char* translate(const char* text)
{
    return dgettext("tvn", text);
}

} // namespace tvn

#define N_(text) text
