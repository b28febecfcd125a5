#include "vkcdict/Commands.h"

namespace vkcdict {

void SetAction(CLI::App* command, std::function<int()> action) {
    command->callback([action]() {
        const int status = action();
        if (status != kDone) throw CLI::RuntimeError(status);
    });
}

void AddPartialFlag(CLI::App* command, bool* partial) {
    command->add_flag("--partial", *partial,
                      "work on with the records that load from a dictionary that does not load "
                      "completely");
}

void AddNonGbkFlag(CLI::App* command, bool* allowNonGbk) {
    command->add_flag("--allow-non-gbk", *allowNonGbk,
                      "use a dictionary that looks like UTF-8 or UTF-16 as it is, writing its "
                      "texts unconverted");
}

}  // namespace vkcdict
