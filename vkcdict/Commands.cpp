#include "vkcdict/Commands.h"

namespace vkcdict {

void SetAction(CLI::App* command, std::function<int()> action) {
    command->callback([action]() {
        const int status = action();
        if (status != kDone) throw CLI::RuntimeError(status);
    });
}

}  // namespace vkcdict
