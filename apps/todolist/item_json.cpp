// The JSON Lines form of an item; kept in its own file so that only it pays for the JSON header.
#include "cli_common.h"

#include "comments/todo_comment.h"
#include "items/source_todo_item.h"

#include <nlohmann/json.hpp>

namespace {

const char* KindName(TCommentKind Kind) {
    switch (Kind) {
    case TCommentKind::Brace:
        return "brace";
    case TCommentKind::ParenStar:
        return "paren-star";
    case TCommentKind::SlashStar:
        return "slash-star";
    case TCommentKind::Line:
        return "line";
    case TCommentKind::None:
        break;
    }
    return "none";
}

nlohmann::ordered_json RangeJson(TRange R) {
    return nlohmann::ordered_json::array({R.Start, R.End});
}

} // namespace

std::string ItemJson(const std::string& File, int Line, int Column, TSourceToDoItem& Item) {
    const auto& Comment = Item.GetComment();
    const auto& Fields = Item.GetFields();
    nlohmann::ordered_json J;
    J["file"] = File;
    J["offset"] = Comment.Start;
    J["line"] = Line;
    J["column"] = Column;
    J["kind"] = KindName(Fields.Kind);
    J["comment"] = Comment.Text;
    J["checked"] = Item.GetChecked();
    J["priority"] = Item.GetPriority();
    J["owner"] = Item.GetOwner();
    J["category"] = Item.GetCategory();
    J["text"] = Item.GetText();
    J["ranges"] = {{"keyword", RangeJson(Fields.Keyword)},
                   {"priority", RangeJson(Fields.Priority)},
                   {"owner", RangeJson(Fields.Owner)},
                   {"category", RangeJson(Fields.Category)},
                   {"text", RangeJson(Fields.Text)}};
    // Comments are bytes; a sequence that is not valid UTF-8 is written as U+FFFD so that every
    // line stays valid JSON.
    return J.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
