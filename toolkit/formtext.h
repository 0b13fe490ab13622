// Form data as text: the property stream ("TPF0") converted to and from the
// notation game authors edit.
//
//   object Form1: TQVXForm
//     Caption = 'Game'
//     Image.Data = {
//       0A0B0C...}
//     Items = <
//       item
//         Name = 'a'
//       end>
//     object Screen1: TQVXScreen
//     end
//   end
//
// Every value type of the property stream has a text form, so binary -> text
// -> binary gives the same bytes for anything the writer produces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysutils.h"

namespace tk {

class TStream;

// A mistake in the text notation. The message starts with where it is:
// "Line 3, column 7: '=' expected".
class EParserError : public Exception {
public:
    EParserError(int line, int column, const std::string& what);
    const char* ClassName() const noexcept override { return "EParserError"; }
    int Line;
    int Column;
};

// Reads one object (signature, root and children) from `input` at its
// position and appends its text to `output`. Sizes are checked against the
// bytes left before anything is allocated.
void ObjectBinaryToText(TStream& input, std::string& output);
// Parses the text of one object and writes its property stream, signature
// first, to `output`.
void ObjectTextToBinary(const std::string& text, TStream& output);

// Form data as files hold it: a bare stream starting "TPF0", or one behind
// a 16-bit resource header (as .HCL files and form resources have), whose
// body length bounds what is read.
std::string FormDataToText(const std::vector<uint8_t>& data);
// Without a resource name the bare stream; with one, header and body.
std::vector<uint8_t> FormTextToData(const std::string& text, const std::string& resourceName = {});

}  // namespace tk
