#include "dict/RecordLines.h"

namespace recordlines {

namespace {
thread_local std::vector<uint32_t>* t_lines = nullptr;
}  // namespace

Noting::Noting(std::vector<uint32_t>* lines) : outer_(t_lines) {
    t_lines = lines;
}

Noting::~Noting() {
    t_lines = outer_;
}

std::vector<uint32_t>* Current() {
    return t_lines;
}

}  // namespace recordlines
