// The runtime's date-time parser: the texts a person types for a date and time, in the forms the
// grids show them and in ISO form.
//
// Accepted (ASCII spaces around the whole text are ignored):
//   2014年7月10日 | 2014年7月10日9时 | 2014年7月10日9时5分 | 2014年7月10日9时5分7秒
//   2014-07-10 | 2014-07-10 09:05 | 2014-07-10 09:05:00   ("/" in place of "-" as well; the two
//   date separators must agree; "T" or spaces between date and time)
// Years have 1 to 4 digits and must lie in 100..9999, the other numbers 1 or 2 digits. A date
// that does not exist (2014-02-30), an hour over 23, a minute or second over 59, and any other
// text are refused.
#pragma once

#include <string_view>

namespace memo {

// Parses a GBK text. True and *day_number (days from 1899-12-30, fraction the time of day) when
// the text is one of the forms above; false, *day_number untouched, otherwise.
bool ParseDateTime(std::string_view text_gbk, double* day_number);

}  // namespace memo
