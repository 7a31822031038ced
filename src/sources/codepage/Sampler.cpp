#include "sources/codepage/Sampler.h"

#include "platform/paradox/Lookup.h"
#include "platform/paradox/Table.h"
#include "sources/codepage/Locale.h"

#include <algorithm>

namespace codepage {

namespace {

// Enough text for the detector; the scan stops here.
constexpr std::size_t sampleLimit = 64 * 1024;
// The scan stops too after this much text of any kind, so that whoever feeds
// the sampler holds a bounded amount of a table before the choice.
constexpr std::size_t seenLimit = 4 * 1024 * 1024;

bool isTextField(paradox::FieldType type) {
    return type == paradox::FieldType::Alpha || type == paradox::FieldType::Memo ||
           type == paradox::FieldType::FormattedMemo;
}

// Adds a text holding bytes beyond ASCII to a column, as much of it as the
// sample takes.
void addToSample(TextSample& sample, std::size_t column, std::string_view bytes) {
    bytes = bytes.substr(0, sampleLimit - std::min(sampleLimit, sample.size));
    const auto high = static_cast<std::size_t>(std::count_if(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    if (high == 0)
        return;
    std::string& text = sample.columns.at(column);
    text.append(bytes);
    text += '\n';
    sample.size += bytes.size() + 1;
    sample.highBytes += high;
}

} // namespace

TableFiles::TableFiles(std::filesystem::path dataFile)
    : dataFile(std::move(dataFile)), memoFile(paradox::findMemoFile(this->dataFile)) {}

TableFiles::TableFiles(std::filesystem::path dataFile,
                       std::optional<std::filesystem::path> memoFile)
    : dataFile(std::move(dataFile)), memoFile(std::move(memoFile)) {}

TextSampler::TextSampler(int headerCodePage, const std::vector<paradox::Field>& fields) {
    sample_.headerCodePage = headerCodePage;
    if (headerCodePage != WesternCodePage)
        return;
    sample_.columns.resize(fields.size() + 1);
    takes_.resize(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        addToSample(sample_, 0, fields[i].name);
        takes_[i] = isTextField(fields[i].type);
        anyText_ = anyText_ || takes_[i];
    }
}

bool TextSampler::wantsMore() const {
    return anyText_ && sample_.size < sampleLimit && seen_ < seenLimit;
}

void TextSampler::add(std::size_t field, std::string_view bytes) {
    if (!takes(field))
        return;
    seen_ += bytes.size();
    addToSample(sample_, field + 1, bytes);
}

TextSample readTextSample(const TableFiles& files, bool values) {
    std::optional<std::string> memo;
    if (files.memoFile)
        memo = files.memoFile->native();
    paradox::TableFile table(files.dataFile.native(), memo, {.textAsBytes = true});
    TextSampler sampler(table.headerCodePage(), table.fields());
    // A value the reader refuses ends the sample; the send's check meets it
    // again and names it.
    try {
        for (; values && !table.eof() && sampler.wantsMore(); table.moveNext())
            for (std::size_t i = 0; i < table.fields().size(); ++i)
                if (sampler.takes(i) && sampler.wantsMore())
                    if (const paradox::Value value = table.value(i); !value.isNull())
                        sampler.add(i, value.text);
    } catch (const paradox::Error&) {
    }
    return sampler.sample();
}

} // namespace codepage
