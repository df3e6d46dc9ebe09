// ParseNodePath on any text: it parses or raises one of its messages, and a
// parsed path keeps the shape the query engine relies on.
#include "query/ExpressParse.h"
#include "support/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace linkvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TNodePath path;
    try {
        ParseNodePath(path, text);
    } catch (const Exception& e) {
        const std::string m = e.Message();
        if (m.rfind("NodePath express ", 0) != 0 && m.rfind("Unknown TagName : ", 0) != 0 &&
            m != "The NodePath express is too long(exceed10 nodeds)!") {
            std::abort();
        }
        return 0;
    }
    const int count = CountSteps(path);
    if (count > MaxNodePathSteps || path.Steps[MaxNodePathSteps].Kind != nkNone) {
        std::abort();
    }
    for (int i = 0; i < count; ++i) {
        const TNodePathStep& step = path.Steps[i];
        const TSelectCondition& c = step.Condition;
        if (step.Kind == nkReference || step.Kind > nkCollection || step.Index < 0 ||
            c.Func > sfPattern || c.LeftOp > opNE || c.RightOp > opNE ||
            step.Name.size() > NodePathTextMax || c.Tag.size() > NodePathTextMax ||
            c.MaskText.size() > NodePathTextMax || c.Argument.size() > NodePathTextMax) {
            std::abort();
        }
        // Only the last step may answer every match.
        if (step.AllMatches && i != count - 1) {
            std::abort();
        }
        // A condition's left bound is stored mirrored.
        if (step.Kind == nkTag && c.Func != sfNone && c.LeftOp != opGT && c.LeftOp != opGE) {
            std::abort();
        }
    }
    for (int i = count; i <= MaxNodePathSteps; ++i) {
        if (!(path.Steps[i] == TNodePathStep())) {
            std::abort();
        }
    }
    return 0;
}
