// linkvane-cli check NODEPATH: parses a NodePath and prints its steps.
#include "cli/Cli.h"

#include "query/ExpressParse.h"
#include "support/Exception.h"

namespace linkvane::cli {
namespace {

/// One line per step: its number from 1 and the fields, TAB-separated; the
/// texts escaped so that a step is always one line.
void PrintStep(std::ostream& out, int number, const TNodePathStep& step) {
    const TSelectCondition& c = step.Condition;
    std::string name, tag, mask, argument;
    AppendEscaped(name, step.Name);
    AppendEscaped(tag, c.Tag);
    AppendEscaped(mask, c.MaskText);
    AppendEscaped(argument, c.Argument);
    out << number << "\tKind=" << NodeKindName(step.Kind) << "\tName=" << name
        << "\tIndex=" << step.Index << "\tChildrenOnly=" << (step.ChildrenOnly ? 1 : 0)
        << "\tAllMatches=" << (step.AllMatches ? 1 : 0) << "\tFunc=" << SelectFunctionName(c.Func)
        << "\tTag=" << tag << "\tMaskText=" << mask << "\tArgument=" << argument
        << "\tLeftOp=" << CompareOpName(c.LeftOp) << "\tLeftValue=" << c.LeftValue
        << "\tRightOp=" << CompareOpName(c.RightOp) << "\tRightValue=" << c.RightValue << "\n";
}

int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        err << "usage: linkvane-cli check NODEPATH\n";
        return 2;
    }
    TNodePath path;
    try {
        ParseNodePath(path, args[0]);
    } catch (const Exception& e) {
        err << e.what() << "\n";
        return 1;
    }
    const int count = CountSteps(path);
    for (int i = 0; i < count; ++i) {
        PrintStep(out, i + 1, path.Steps[i]);
    }
    out.flush();
    return out.good() ? 0 : 1;
}

const TCliRegistrar registrar({"check", "check NODEPATH", RunCheck});

} // namespace
} // namespace linkvane::cli
