// Built twice by ctest: as it stands it must compile; with one of the
// PLAZET_BREAK_* macros it must not. Each broken form is a mistake the page
// writer exists to stop.
#include <string>

#include "frame/output.h"
#include "text/escape.h"

void page(plazet::Output& out, const std::string& stored_name, long number) {
  out.printf("<B>%s</B>%ld\n", plazet::html_attr(stored_name), number);
#if defined(PLAZET_BREAK_RAW_STRING)
  out.printf("<B>%s</B>\n", stored_name);  // stored text not escaped
#elif defined(PLAZET_BREAK_CHAR_POINTER)
  out.printf("<B>%s</B>\n", stored_name.c_str());  // escaping skipped through a pointer
#elif defined(PLAZET_BREAK_WRONG_NUMBER)
  out.printf("%d\n", number);  // a long printed as an int
#elif defined(PLAZET_BREAK_MISSING_ARGUMENT)
  out.printf("%s %s\n", plazet::html_attr(stored_name));
#endif
}
