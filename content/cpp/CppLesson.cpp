#include "content/cpp/CppLesson.hpp"

#include <algorithm>
#include <utility>

namespace content::cpp {

namespace {

std::string chapterPrefix(std::int64_t chapter) {
    return "C++CH" + std::to_string(chapter);
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The answer is the text between the field marks of the code (one field per record).
std::string_view answerOf(const LessonForm& form) {
    constexpr std::string_view open = "«", close = "»";
    const std::string_view code = form.code;
    const auto from = code.find(open);
    const auto to = from == std::string_view::npos ? from : code.find(close, from);
    if (to == std::string_view::npos) return {};
    return code.substr(from + open.size(), to - from - open.size());
}

} // namespace

std::string lessonId(std::int64_t chapter, std::int64_t position) {
    return chapterPrefix(chapter) + "L" + std::to_string(position);
}

std::string challengeId(std::int64_t chapter, std::int64_t challenge) {
    return chapterPrefix(chapter) + "C" + std::to_string(challenge);
}

std::string blankless(std::string_view answer) {
    std::string out(answer);
    std::erase(out, ' ');
    return out;
}

std::string steps(std::initializer_list<std::string_view> texts) {
    std::string out;
    for (auto text : texts) {
        out += text;
        out += " \n ";
    }
    return out;
}

namespace {

void expandMarks(std::string& text, std::string_view answer) {
    replaceAll(text, ANSWER, answer);
    if (text.find(BLANKLESS) != std::string::npos) replaceAll(text, BLANKLESS, blankless(answer));
}

// `text` with the marks replaced; most texts hold none, and are left as they are at once.
void expandInPlace(LessonText& text, std::string_view answer) {
    if (text.find("«") == std::string_view::npos) return;
    std::string expanded = text.str();
    expandMarks(expanded, answer);
    text = LessonText(std::move(expanded));
}

} // namespace

std::string expand(std::string_view text, std::string_view answer) {
    std::string out(text);
    expandMarks(out, answer);
    return out;
}

std::vector<ColorRule> in(CustomStringSection section, ColorAttribute color,
                          std::initializer_list<LessonText> texts) {
    std::vector<ColorRule> rules;
    rules.reserve(texts.size());
    for (const auto& text : texts)
        rules.push_back({section, text, color});
    return rules;
}

std::vector<ColorRule> join(std::initializer_list<std::vector<ColorRule>> parts) {
    std::vector<ColorRule> all;
    std::size_t size = 0;
    for (const auto& part : parts)
        size += part.size();
    all.reserve(size);
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<ColorRule> includeColors(CustomStringSection section) {
    return {{section, "<iostream>", ColorAttribute::redString},
            {section, "#include", ColorAttribute::orange}};
}

Lesson::Ptr addCppLesson(Chapter& chapter, LessonForm form) {
    form.number = static_cast<std::int64_t>(chapter.lessons.size()) + 1;
    if (form.id.empty()) form.id = lessonId(chapter.number, form.number);

    const std::string_view answer = answerOf(form);
    for (auto& accepted : form.accepted)
        expandInPlace(accepted, answer);
    expandInPlace(form.hint.message, answer);
    for (auto& rule : form.colors)
        expandInPlace(rule.rangeOfString, answer);

    form.autoColor = false;
    if (!form.sameMessage) form.sameMessage = form.outputs.empty();
    form.video.reset();
    return content::addLesson(chapter, std::move(form));
}

Lesson::Ptr addCppChallenge(Chapter& chapter, LessonForm form) {
    const std::string prefix = chapterPrefix(chapter.number) + "C";
    const auto done =
        std::count_if(chapter.lessons.begin(), chapter.lessons.end(), [&](const Lesson::Ptr& l) {
            const std::string_view id = l->lessonID;
            return id.starts_with(prefix) && id.size() > prefix.size() &&
                   id.find_first_not_of("0123456789", prefix.size()) == std::string_view::npos;
        });
    const auto k = static_cast<std::int64_t>(done) + 1;
    form.id = challengeId(chapter.number, k);
    if (form.title.empty()) form.title = "Challenge " + std::to_string(k);
    return addCppLesson(chapter, std::move(form));
}

} // namespace content::cpp
