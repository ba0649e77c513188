#include "agreedAnswers.h"

#include "linkRules.h"
#include "transfers.h"

#include <algorithm>

namespace {

// The reply letter to each settings request letter.
char ReplyLetter(char request)
{
    return static_cast<char>(request - 'A' + 'a');
}

} // namespace

TAgreedAnswers::TKey TAgreedAnswers::KeyOf(std::uint8_t type, std::uint8_t index)
{
    return {type, type == mtRange || type == mtSparkDelay ? index : std::uint8_t {0}};
}

std::vector<TAgreedAnswers::TKey> TAgreedAnswers::Needed(const TEcu &withParams)
{
    std::vector<TKey> needed;
    for (int step = kReadFirstStep; step > 0; step = NextTransferStep(step))
        for (const TQV3318MessageRec &request :
             TransferStepLines(step, withParams, GridRowCountFor(withParams.PositionCount))) {
            const auto type = MessageLetters.find(ReplyLetter(MessageLetters[request.MsgType]));
            if (type != std::string_view::npos && IsSettingsMessage(type))
                needed.push_back(KeyOf(static_cast<std::uint8_t>(type), request.Index));
        }
    return needed;
}

void TAgreedAnswers::Note(std::string_view line, const TQV3318MessageRec &message)
{
    if (IsSettingsMessage(message.MsgType))
        heard_[KeyOf(message.MsgType, message.Index)].emplace_back(std::string(line), message);
}

std::vector<TAgreedAnswers::TKey> TAgreedAnswers::Heard() const
{
    // A read asks for the parameters, the feedback block, the ranges and then the cut durations.
    const auto rank = [](const TKey &key) {
        switch (key.first) {
        case mtParams:
            return 0;
        case mtFeedback:
            return 1;
        case mtRange:
            return 2;
        default:
            return 3;
        }
    };
    std::vector<TKey> keys;
    for (const auto &entry : heard_)
        keys.push_back(entry.first);
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const TKey &a, const TKey &b) { return rank(a) < rank(b); });
    return keys;
}

const TQV3318MessageRec *TAgreedAnswers::Agreed(TKey key) const
{
    const auto found = heard_.find(key);
    if (found == heard_.end())
        return nullptr;
    const auto &heard = found->second;
    for (std::size_t i = 0; i < heard.size(); ++i)
        for (std::size_t j = i + 1; j < heard.size(); ++j)
            if (heard[i].first == heard[j].first)
                return &heard[i].second;
    return nullptr;
}

const TQV3318MessageRec *TAgreedAnswers::Latest(TKey key) const
{
    const auto found = heard_.find(key);
    if (found == heard_.end() || found->second.empty())
        return nullptr;
    return &found->second.back().second;
}

int TAgreedAnswers::Unsettled(const std::vector<TKey> &keys) const
{
    return static_cast<int>(
        std::count_if(keys.begin(), keys.end(), [this](const TKey &key) { return !Agreed(key); }));
}

void TAgreedAnswers::ApplyAgreed(TEcu &model, TSettingsKnown &known,
                                 const std::vector<TKey> &keys) const
{
    if (const TQV3318MessageRec *params = Agreed(KeyOf(mtParams, 0))) {
        ApplyParams(model, *params);
        known.NoteReceived(*params);
    }
    for (const TKey &key : keys) {
        const TQV3318MessageRec *answer = Agreed(key);
        if (answer == nullptr || key.first == mtParams)
            continue;
        if (key.first == mtFeedback)
            ApplyFeedback(model, *answer);
        else if (key.first == mtRange)
            ApplyRange(model, *answer);
        else
            ApplySparkDelay(model, *answer);
        known.NoteReceived(*answer);
    }
}
