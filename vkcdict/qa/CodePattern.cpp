// Compiling a --code pattern: a recursive-descent parser (its depth bounded
// by the group nesting limit) builds a tree, which is then laid out as the
// program CodeSearcher runs. Counted repetition is laid out as copies, which
// is why the program's size, not the pattern's, is limited.
#include "vkcdict/qa/CodePattern.h"

#include <algorithm>

#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// ASCII punctuation and the blank: the bytes a backslash may make literal.
bool IsEscapablePunctuation(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u == ' ' || (u > ' ' && u < 0x7F && !IsDigit(c) && !(u >= 'a' && u <= 'z') &&
                        !(u >= 'A' && u <= 'Z'));
}

std::bitset<256> Range(int first, int last) {
    std::bitset<256> set;
    for (int b = first; b <= last; ++b) set.set(static_cast<size_t>(b));
    return set;
}

// \d, \w, \s and their complements, as the "C" locale classifies bytes.
std::bitset<256> ClassEscape(char c) {
    std::bitset<256> set;
    switch (c) {
        case 'd':
        case 'D':
            set = Range('0', '9');
            break;
        case 'w':
        case 'W':
            set = Range('0', '9') | Range('A', 'Z') | Range('a', 'z');
            set.set('_');
            break;
        default:  // 's', 'S'
            set = Range('\t', '\r');
            set.set(' ');
            break;
    }
    return c >= 'a' ? set : ~set;
}

bool IsClassEscape(char c) {
    return c == 'd' || c == 'D' || c == 'w' || c == 'W' || c == 's' || c == 'S';
}

}  // namespace

class CodePattern::Compiler {
public:
    Compiler(std::string_view pattern, CodePattern* out) : p_(pattern), out_(out) {}

    bool Run(std::string* error) {
        if (p_.size() > kMaxPatternBytes) {
            *error = Tr("the pattern is longer than {1} bytes", {std::to_string(kMaxPatternBytes)});
            return false;
        }
        const int root = Disjunction(0);
        if (root >= 0 && at_ < p_.size()) Fail(Tr("unmatched )"), at_);  // the one stop left
        for (const Node& node : nodes_) nullable_.push_back(Nullable(node));
        if (root < 0 || !error_.empty() || !Emit(root, 0) || !Put(kMatch, 0, 0, 0)) {
            *error = error_;
            return false;
        }
        return true;
    }

private:
    enum Kind : uint8_t { kEmpty, kBytes, kAssertion, kConcat, kAlternation, kRepeat };
    struct Node {
        explicit Node(Kind k) : kind(k) {}
        Kind kind;
        uint8_t assertion = 0;
        std::bitset<256> bytes;
        std::vector<int> kids;
        int min = 0;
        int max = 0;  // -1: no limit
        bool greedy = true;
        size_t at = 0;  // where a quantifier starts
    };
    // A class member: one byte, or a set from a class escape.
    struct ClassAtom {
        bool single;
        unsigned char byte;
        std::bitset<256> set;
    };

    // Keeps the first reason, with the place it applies to when there is
    // one.
    int Fail(const std::string& reason, size_t at = std::string_view::npos) {
        if (error_.empty()) {
            error_ = reason;
            if (at != std::string_view::npos) {
                error_ = Tr("{1} (at byte {2})", {reason, std::to_string(at + 1)});
            }
        }
        return -1;
    }
    bool More() const { return at_ < p_.size(); }
    char Peek(size_t ahead = 0) const { return at_ + ahead < p_.size() ? p_[at_ + ahead] : '\0'; }
    bool PeekIs(char c, size_t ahead = 0) const {
        return at_ + ahead < p_.size() && p_[at_ + ahead] == c;
    }
    static bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

    int Add(Node node) {
        nodes_.push_back(std::move(node));
        return static_cast<int>(nodes_.size() - 1);
    }
    int Bytes(const std::bitset<256>& set) {
        Node n(kBytes);
        n.bytes = set;
        return Add(std::move(n));
    }

    int Disjunction(int nesting) {
        std::vector<int> alternatives;
        for (;;) {
            const int alternative = Alternative(nesting);
            if (alternative < 0) return -1;
            alternatives.push_back(alternative);
            if (!PeekIs('|')) break;
            ++at_;
        }
        if (alternatives.size() == 1) return alternatives[0];
        Node n(kAlternation);
        n.kids = std::move(alternatives);
        return Add(std::move(n));
    }

    int Alternative(int nesting) {
        std::vector<int> terms;
        while (More() && Peek() != '|' && Peek() != ')') {
            const int term = Term(nesting);
            if (term < 0) return -1;
            terms.push_back(term);
        }
        if (terms.size() == 1) return terms[0];
        Node n(terms.empty() ? kEmpty : kConcat);
        n.kids = std::move(terms);
        return Add(std::move(n));
    }

    int Term(int nesting) {
        const size_t start = at_;
        int assertion = -1;
        if (Peek() == '^') assertion = kTextBegin;
        if (Peek() == '$') assertion = kTextEnd;
        if (Peek() == '\\' && Peek(1) == 'b') assertion = kWordBoundary;
        if (Peek() == '\\' && Peek(1) == 'B') assertion = kNotWordBoundary;
        if (assertion >= 0) {
            at_ += Peek() == '\\' ? 2 : 1;
            if (More() && IsQuantifier(Peek())) {
                return Fail(
                    Tr("an assertion ({1}) cannot be repeated", {p_.substr(start, at_ - start)}),
                    at_);
            }
            Node n(kAssertion);
            n.assertion = static_cast<uint8_t>(assertion);
            return Add(std::move(n));
        }
        const int atom = Atom(nesting);
        if (atom < 0 || !More() || !IsQuantifier(Peek())) return atom;
        return Quantified(atom);
    }

    int Quantified(int atom) {
        const size_t start = at_;
        Node n(kRepeat);
        n.kids = {atom};
        n.at = start;
        const char c = p_[at_++];
        if (c == '*') {
            n.min = 0;
            n.max = -1;
        } else if (c == '+') {
            n.min = 1;
            n.max = -1;
        } else if (c == '?') {
            n.min = 0;
            n.max = 1;
        } else if (!Counts(start, &n.min, &n.max)) {
            return -1;
        }
        if (PeekIs('?')) {
            n.greedy = false;
            ++at_;
        }
        if (More() && IsQuantifier(Peek())) {
            return Fail(Tr("a quantifier cannot follow another quantifier"), at_);
        }
        return Add(std::move(n));
    }

    // {n}, {n,} or {n,m}, the '{' already read at `start`.
    bool Counts(size_t start, int* min, int* max) {
        const auto number = [this](int* value) {
            if (!IsDigit(Peek())) return false;
            long n = 0;
            while (IsDigit(Peek())) {
                n = std::min<long>(n * 10 + (p_[at_++] - '0'), kMaxCount + 1L);
            }
            *value = static_cast<int>(n);
            return true;
        };
        bool ok = number(min);
        *max = *min;
        if (ok && PeekIs(',')) {
            ++at_;
            *max = -1;
            if (IsDigit(Peek())) number(max);
        }
        if (!ok || !PeekIs('}')) {
            Fail(Tr("a { must start a count such as {2}, {2,} or {1,3} (\\{ is the brace itself)"),
                 start);
            return false;
        }
        ++at_;
        if (*min > kMaxCount || *max > kMaxCount) {
            Fail(Tr("a count over {1}", {std::to_string(kMaxCount)}), start);
            return false;
        }
        if (*max >= 0 && *max < *min) {
            Fail(Tr("a count {n,m} with m below n"), start);
            return false;
        }
        return true;
    }

    int Atom(int nesting) {
        const size_t start = at_;
        const char c = p_[at_];
        switch (c) {
            case '.': {
                ++at_;
                std::bitset<256> set;
                set.set();
                set.reset('\n');
                set.reset('\r');
                return Bytes(set);
            }
            case '(':
                return Group(nesting);
            case '[':
                return Class();
            case '\\': {
                ClassAtom a;
                if (!Escape(false, &a)) return -1;
                return Bytes(a.single ? Range(a.byte, a.byte) : a.set);
            }
            case '*':
            case '+':
            case '?':
            case '{':
                return Fail(Tr("nothing to repeat before {1}", {std::string_view(&c, 1)}), start);
            default:  // ']' and '}' stand for themselves, as any other byte
                ++at_;
                return Bytes(Range(static_cast<unsigned char>(c), static_cast<unsigned char>(c)));
        }
    }

    int Group(int nesting) {
        const size_t start = at_++;
        if (PeekIs('?')) {
            if (PeekIs('=', 1) || PeekIs('!', 1))
                return Fail(Tr("lookahead is not supported"), start);
            if (PeekIs('<', 1) && (PeekIs('=', 2) || PeekIs('!', 2))) {
                return Fail(Tr("lookbehind is not supported"), start);
            }
            if (!PeekIs(':', 1)) return Fail(Tr("only (?: is supported after (?"), start);
            at_ += 2;
        }
        if (nesting + 1 > kMaxNesting) {
            return Fail(Tr("groups nested deeper than {1}", {std::to_string(kMaxNesting)}), start);
        }
        const int inside = Disjunction(nesting + 1);
        if (inside < 0) return -1;
        if (!PeekIs(')')) return Fail(Tr("missing ) for this ("), start);
        ++at_;
        return inside;
    }

    int Class() {
        const size_t start = at_++;
        const bool negated = PeekIs('^');
        if (negated) ++at_;
        if (PeekIs(']')) return Fail(Tr("an empty class (\\] is the bracket itself)"), start);
        std::bitset<256> set;
        while (!PeekIs(']')) {
            if (!More()) return Fail(Tr("missing ] for this ["), start);
            const size_t first = at_;
            ClassAtom low;
            if (!Member(&low)) return -1;
            if (PeekIs('-') && at_ + 1 < p_.size() && p_[at_ + 1] != ']') {
                ++at_;
                ClassAtom high;
                if (!Member(&high)) return -1;
                if (!low.single || !high.single) {
                    return Fail(Tr("a range needs a single byte at each end"), first);
                }
                if (low.byte > high.byte) return Fail(Tr("a range out of order"), first);
                if (low.byte < 0x80 && high.byte >= 0x80) {
                    return Fail(Tr("a range across 0x80 (split it at 0x7F and 0x80)"), first);
                }
                set |= Range(low.byte, high.byte);
            } else {
                set |= low.single ? Range(low.byte, low.byte) : low.set;
            }
        }
        ++at_;
        return Bytes(negated ? ~set : set);
    }

    bool Member(ClassAtom* a) {
        const char c = p_[at_];
        if (c == '[' && (PeekIs(':', 1) || PeekIs('.', 1) || PeekIs('=', 1))) {
            Fail(Tr("POSIX classes such as [:alpha:] are not supported"), at_);
            return false;
        }
        if (c == '\\') return Escape(true, a);
        ++at_;
        *a = {true, static_cast<unsigned char>(c), {}};
        return true;
    }

    // The escape at at_ (its backslash), as a byte or a set.
    bool Escape(bool inClass, ClassAtom* a) {
        const size_t start = at_++;
        if (!More()) {
            Fail(Tr("a \\ at the end"), start);
            return false;
        }
        const char c = p_[at_++];
        const auto byte = [a](int value) {
            *a = {true, static_cast<unsigned char>(value), {}};
            return true;
        };
        if (IsClassEscape(c)) {
            *a = {false, 0, ClassEscape(c)};
            return true;
        }
        switch (c) {
            case 't':
                return byte('\t');
            case 'n':
                return byte('\n');
            case 'r':
                return byte('\r');
            case 'f':
                return byte('\f');
            case 'v':
                return byte('\v');
            case 'b':  // a word boundary outside classes is an assertion (Term)
                return byte('\b');
            case '0':
                if (IsDigit(Peek())) break;
                return byte(0);
            case 'x': {
                const int high = HexValue(Peek());
                const int low = HexValue(Peek(1));
                if (high < 0 || low < 0) {
                    Fail(Tr("\\x needs two hex digits"), start);
                    return false;
                }
                at_ += 2;
                return byte(high * 16 + low);
            }
            default:
                if (IsEscapablePunctuation(c)) return byte(c);
                break;
        }
        if (c >= '1' && c <= '9') {
            Fail(Tr("backreferences are not supported"), start);
        } else if (c == 'B' && inClass) {
            Fail(Tr("\\B inside a class"), start);
        } else if (c == '0') {
            Fail(Tr("\\0 followed by a digit"), start);
        } else if (static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7F) {
            Fail(Tr("the escape \\{1} is not supported", {std::string_view(&c, 1)}), start);
        } else {
            Fail(Tr("a \\ before a control byte or a byte above 0x7F"), start);
        }
        return false;
    }

    // Lays out node `n`, enclosed by `depth` loops whose body may match
    // empty.
    bool Emit(int n, uint8_t depth) {
        // Copies of parts that lay out nothing, as in ((){1000}){1000},
        // cost time without growing the program.
        if (++emitted_ > kMaxEmits) return TooLarge();
        const Node& node = nodes_[static_cast<size_t>(n)];
        switch (node.kind) {
            case kEmpty:
                return true;
            case kBytes:
                if (node.bytes.count() == 1) {
                    size_t b = 0;
                    while (!node.bytes.test(b)) ++b;
                    return Put(kByte, static_cast<uint8_t>(b), 0, 0, depth);
                }
                out_->sets_.push_back(node.bytes);
                return Put(kSet, 0, 0, static_cast<uint32_t>(out_->sets_.size() - 1), depth);
            case kAssertion:
                return Put(kAssert, node.assertion, 0, 0, depth);
            case kConcat:
                for (int kid : node.kids) {
                    if (!Emit(kid, depth)) return false;
                }
                return true;
            case kAlternation: {
                std::vector<uint32_t> jumps;
                for (size_t k = 0; k < node.kids.size(); ++k) {
                    const bool last = k + 1 == node.kids.size();
                    const uint32_t split = Here();
                    if (!last && !Put(kSplit, 0, split + 1, 0, depth)) return false;
                    if (!Emit(node.kids[k], depth)) return false;
                    if (!last) {
                        jumps.push_back(Here());
                        if (!Put(kJump, 0, 0, 0, depth)) return false;
                        out_->program_[split].y = Here();
                    }
                }
                for (uint32_t jump : jumps) out_->program_[jump].x = Here();
                return true;
            }
            case kRepeat:
                return EmitRepeat(node, depth);
        }
        return false;
    }

    bool EmitRepeat(const Node& node, uint8_t depth) {
        const int body = node.kids[0];
        for (int k = 0; k < node.min; ++k) {
            if (!Emit(body, depth)) return false;
        }
        // Each split prefers its x branch: one more iteration when greedy.
        const auto order = [&node](Instruction* split, uint32_t more, uint32_t out) {
            split->x = node.greedy ? more : out;
            split->y = node.greedy ? out : more;
        };
        if (node.max < 0) {
            const bool checked = nullable_[static_cast<size_t>(body)];
            if (checked && depth > 0) {
                // Backtracking matchers let such an inner loop start again
                // at the same place a few times, each by rules of its own
                // (std::regex counts entries per loop); no rule of ours
                // would give the same matches, so refuse rather than guess.
                Fail(Tr("a repeated group that can match empty inside another one"), node.at);
                return false;
            }
            const uint8_t inner = checked ? static_cast<uint8_t>(depth + 1) : depth;
            const uint32_t head = Here();
            if (!Put(kSplit, 0, 0, 0, depth) || !Emit(body, inner)) return false;
            const uint32_t back = Here();
            if (checked ? !Put(kLoopBack, inner, head, 0, inner) : !Put(kJump, 0, head, 0, depth)) {
                return false;
            }
            order(&out_->program_[head], head + 1, Here());
            if (checked) out_->program_[back].y = Here();
            return true;
        }
        std::vector<uint32_t> splits;
        for (int k = node.min; k < node.max; ++k) {
            splits.push_back(Here());
            if (!Put(kSplit, 0, 0, 0, depth) || !Emit(body, depth)) return false;
        }
        for (uint32_t split : splits) order(&out_->program_[split], split + 1, Here());
        return true;
    }

    // Whether node `n` can match without consuming a byte; its kids, made
    // before it, have been settled.
    bool Nullable(const Node& node) const {
        const auto nullable = [this](int kid) { return nullable_[static_cast<size_t>(kid)]; };
        switch (node.kind) {
            case kEmpty:
            case kAssertion:
                return true;
            case kBytes:
                return false;
            case kConcat:
                return std::all_of(node.kids.begin(), node.kids.end(), nullable);
            case kAlternation:
                return std::any_of(node.kids.begin(), node.kids.end(), nullable);
            case kRepeat:
                return node.min == 0 || nullable(node.kids[0]);
        }
        return false;
    }

    uint32_t Here() const { return static_cast<uint32_t>(out_->program_.size()); }

    bool TooLarge() {
        Fail(Tr("counted repetition makes the pattern too large (over {1} instructions)",
                {std::to_string(kMaxInstructions)}));
        return false;
    }

    bool Put(Op op, uint8_t arg, uint32_t x, uint32_t y, uint8_t depth = 0) {
        if (out_->program_.size() >= kMaxInstructions) return TooLarge();
        out_->program_.push_back({op, arg, x, y});
        out_->depth_.push_back(depth);
        return true;
    }

    std::string_view p_;
    CodePattern* out_;
    size_t at_ = 0;
    std::vector<Node> nodes_;
    std::vector<bool> nullable_;  // per node
    static constexpr size_t kMaxEmits = 4 * kMaxInstructions;
    size_t emitted_ = 0;  // calls of Emit
    std::string error_;
};

bool CodePattern::Compile(std::string_view pattern, std::string* error) {
    *this = CodePattern();
    if (!Compiler(pattern, this).Run(error)) {
        *this = CodePattern();
        return false;
    }
    firstState_.resize(program_.size());
    for (size_t pc = 0; pc < program_.size(); ++pc) {
        firstState_[pc] = states_;
        states_ += depth_[pc] + 1u;
    }
    return true;
}

}  // namespace vkcdict
