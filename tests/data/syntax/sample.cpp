// TODO 1 -oAnn -cParser: support raw strings
#include <string>

namespace demo {

const char* Pattern = R"re(\d+ /* not a comment */ ")re"; // after a raw string
const char* Html = R"(
<!-- // none of this is a comment -->
)";
auto Wide = LR"x(/* no */)x" u8R"(// no)";
auto NotRaw = FOOR"(" /* TODO: a comment between strings */ ")";
constexpr long Big = 0x7FFF'FFFF'FFFF; /* digit separators */ char C = u8'x';

template <class T> T Half(T V) { return V / 2; } /// doc comment
/** block doc
 *  DONE: written */
std::string S = "a \"quoted /* no */\" string"; // end
} // namespace demo
