// Text (code page 936) to and from wxString, for the window's edge. Everything inside the program stays
// in code page 936; only what goes into or comes out of a widget is converted.
#pragma once

#include <wx/string.h>

#include "text/text.h"

namespace sarvoke {

// The wxString that shows `text`.
wxString ToWx(std::string_view text);
// The Text of what a widget holds; characters that code page 936 lacks come out as "?".
Text FromWx(const wxString& s);

}  // namespace sarvoke
