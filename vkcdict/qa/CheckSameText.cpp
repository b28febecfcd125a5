// The checks that compare records with each other, after the pass:
// inconsistent: one ENG text (across all dictionaries, and twice in one)
//   translated differently; every place is reported.
// reused: one translation of ENG texts that differ in more than ASCII case,
//   punctuation and blanks, often a copy-paste slip; noisy, so only on
//   request.
// Records are kept as (file, index) pairs and grouped by a hash of their
// text only when they need to be: a single dictionary in strictly ascending
// key order (as vkcdict sort writes it) has no repeated key.
#include <algorithm>
#include <string>
#include <unordered_map>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

struct Place {
    uint32_t file;
    uint32_t index;
};

// Places grouped by a text of theirs: Next() chains the places of one group
// in the order they were added.
class Groups {
public:
    template <class Key>
    Groups(const std::vector<Place>& places, const QaReport& report, Key key)
        : next_(places.size(), kEnd) {
        std::unordered_map<std::string_view, std::pair<uint32_t, uint32_t>> groups;  // first, last
        groups.reserve(places.size());
        for (uint32_t i = 0; i < places.size(); ++i) {
            auto [it, added] =
                groups.try_emplace(key(report.RecordAt(places[i].file, places[i].index)), i, i);
            if (added) {
                heads_.push_back(i);
            } else {
                next_[it->second.second] = i;
                it->second.second = i;
            }
        }
        heads_.erase(std::remove_if(heads_.begin(), heads_.end(),
                                    [this](uint32_t h) { return next_[h] == kEnd; }),
                     heads_.end());
    }
    static constexpr uint32_t kEnd = UINT32_MAX;
    // The first place of each group of two or more.
    const std::vector<uint32_t>& heads() const { return heads_; }
    uint32_t Next(uint32_t i) const { return next_[i]; }

private:
    std::vector<uint32_t> next_;
    std::vector<uint32_t> heads_;
};

// A list of other places for a message: the first few, then how many more.
class Others {
public:
    void Add(std::string item) {
        if (count_++ < 3) text_ += (text_.empty() ? "" : ", ") + item;
    }
    bool empty() const { return count_ == 0; }
    std::string text(const QaReport& report) const {
        return count_ > 3 ? report.Tr("{1} and {2} more", {text_, std::to_string(count_ - 3)})
                          : text_;
    }

private:
    std::string text_;
    size_t count_ = 0;
};

class InconsistentCheck : public QaCheck {
public:
    bool ComparesRecords() const override { return true; }
    void Check(const QaRecord& r, QaReport&) override {
        if (r.file != 0 || (!places_.empty() && r.eng <= previous_)) ascending_ = false;
        previous_ = r.eng;
        places_.push_back({r.file, r.index});
    }

    void Finish(QaReport& report) override {
        if (ascending_) return;
        const Groups groups(places_, report, [](const QaRecord& r) { return r.eng; });
        for (uint32_t head : groups.heads()) {
            std::vector<QaRecord> group;
            bool differ = false;
            for (uint32_t i = head; i != Groups::kEnd; i = groups.Next(i)) {
                group.push_back(report.RecordAt(places_[i].file, places_[i].index));
                differ = differ || group.back().chi != group.front().chi;
            }
            if (!differ) continue;
            for (const QaRecord& r : group) {
                Others others;
                for (const QaRecord& o : group) {
                    if (o.chi != r.chi) {
                        others.Add(report.Tr("{1} at {2}",
                                             {report.Show(o.chi), report.Where(o.file, o.index)}));
                    }
                }
                report.Add(
                    r, report.Tr("the ENG text {1} is translated {2} here, but {3}",
                                 {report.Show(r.eng), report.Show(r.chi), others.text(report)}));
            }
        }
    }

private:
    std::vector<Place> places_;
    std::string_view previous_;
    bool ascending_ = true;
};

// The ENG text without ASCII case, punctuation and blanks.
std::string Folded(std::string_view text) {
    std::string folded;
    ForEachChar(text, [&](size_t at, size_t n) {
        const char c = text[at];
        if (n == 2) {
            folded.append(text.data() + at, 2);
        } else if (IsAsciiLetter(static_cast<unsigned char>(c)) ||
                   IsAsciiDigit(static_cast<unsigned char>(c)) ||
                   static_cast<unsigned char>(c) >= 0x80) {
            folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    });
    return folded;
}

class ReusedCheck : public QaCheck {
public:
    bool ComparesRecords() const override { return true; }
    void Check(const QaRecord& r, QaReport&) override { places_.push_back({r.file, r.index}); }

    void Finish(QaReport& report) override {
        const Groups groups(places_, report, [](const QaRecord& r) { return r.chi; });
        for (uint32_t head : groups.heads()) {
            std::vector<std::pair<QaRecord, std::string>> group;
            for (uint32_t i = head; i != Groups::kEnd; i = groups.Next(i)) {
                const QaRecord r = report.RecordAt(places_[i].file, places_[i].index);
                group.emplace_back(r, Folded(r.eng));
            }
            for (const auto& [r, folded] : group) {
                Others others;
                for (const auto& [o, oFolded] : group) {
                    if (oFolded != folded) {
                        others.Add(report.Tr("{1} at {2}",
                                             {report.Show(o.eng), report.Where(o.file, o.index)}));
                    }
                }
                if (others.empty()) continue;
                report.Add(
                    r, report.Tr("the translation {1} of {2} also translates {3}",
                                 {report.Show(r.chi), report.Show(r.eng), others.text(report)}));
            }
        }
    }

private:
    std::vector<Place> places_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeInconsistentCheck(const QaSettings&) {
    return std::make_unique<InconsistentCheck>();
}

std::unique_ptr<QaCheck> MakeReusedCheck(const QaSettings&) {
    return std::make_unique<ReusedCheck>();
}

}  // namespace vkcdict
