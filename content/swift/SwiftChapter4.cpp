// Swift course, chapter 4: optionals, nil, forced unwrapping, if let, ternaries on optionals and ??.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

namespace {

// Lessons 1 to 10 show one output for their one key, with all debugger texts empty.
LessonForm keyed(LessonForm form, LessonText printed, LessonText success) {
    constexpr std::string_view open = "«";
    const auto answerStart = form.code.find(open) + open.size();
    auto answer = form.code.substr(answerStart, form.code.find("»") - answerStart);
    form.blankDebugTexts = true;
    form.outputs = {{answer, printed, success}};
    return form;
}

} // namespace

// clang-format off
void buildSwiftChapter4(Chapter& chapter) {
    addLesson(chapter, keyed({
        .id = "CH4L1", .number = 1, .title = "Optional types",
        .instruction = "A String? is an optional String: it may hold a value or nothing at all (nil). In var optionalString, add ? to the type so print can show nil.",
        .code = R"(var optionalString:«String?»
// no value has been given yet
print(optionalString))",
        .success     = "An optional without a value is nil.",
        .hint        = {"Stuck?  Break it down.", "1. The type is String, after var optionalString:\n2. Add ? right after it: String?"},
        .placeholder = " ? ",
        .words       = {{"!", "?", ":"}},
        .colors      = {{INSTR, "nil", pink}, {INSTR, "?", pink}, {INSTR, "optionalString", project}, {ERROR, "?", pink}},
        .colorCount  = 20,
        .debugger    = true,
        .video       = "Ha6ili8GjHE",
    }, "nil", "A String? without a value is nil, so print shows nil for var optionalString."));

    addLesson(chapter, keyed({
        .id = "CH4L2", .number = 2, .title = "Optional?",
        .instruction = "Check whether optional holds no value by comparing it with nil.",
        .code = R"(var optional: Int?
if optional«==»nil {
   print("optional does not exist")
} else {
   print("optional exists")
})",
        .hint        = {"Stuck? Break it down.", "1. Compare optional with nil\n2. Use =="},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "nil", pink}, {INSTR, "optional", project}},
        .colorCount  = 19,
        .debugger    = true,
        .video       = "AD6_Wj9Kfzj",
    }, "optional does not exist", "optional was never given a value, so it equals nil."));

    addLesson(chapter, keyed({
        .id = "CH4L3", .number = 3, .title = "Forced unwrapping",
        .instruction = "var optional: Int? = 5 holds a number. Unwrap optional with ! so print shows the Int inside it: 5.",
        .code = R"(var optional: Int? = 5
// ! takes the value out of the optional
print(«optional!»))",
        .hint        = {"Stuck? Break it down.", "1. Write optional, the var from line 1\n2. Add ! to unwrap it: optional!\n3. print then shows 5"},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "!", pink}, {INSTR, "optional", project}, {INSTR, "5", purple}, {SUCCESS, "5", purple},
                        {ERROR, "!", pink}, {ERROR, "5", purple}},
        .colorCount  = 21,
        .debugger    = true,
        .video       = "sQGMrb9h-Im",
    }, "5", "optional! is the Int inside var optional: 5, and print shows it. Only force unwrap when you are sure there is a value."));

    addLesson(chapter, keyed({
        .id = "CH4L4", .number = 4, .title = "First check, then unwrap",
        .instruction = "var optional: Int? may be nil, and unwrapping nil crashes a program. First check that optional is not nil.",
        .code = R"(var optional: Int?
optional = 5
if optional«!= nil»{
   print(optional!)
} else {
   print("no value")
})",
        .hint        = {"Stuck? Break it down.", "1. != means not equal\n2. Compare with nil: != nil"},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "nil", pink}, {INSTR, "optional", project}},
        .colorCount  = 20,
        .debugger    = true,
        .video       = "B-LK777pzNk",
    }, "5", "optional holds 5, so it is not nil and unwrapping it is safe."));

    addLesson(chapter, keyed({
        .id = "CH4L5", .number = 5, .title = "If let to unwrap",
        .instruction = "if let checks and unwraps in one step: it puts the value into a new constant when there is one.",
        .code = R"(var optional: Int?
optional = 9
«if let»integer = optional {
   print(integer)
} else {
   print("no value")
})",
        .hint        = {"Stuck? Break it down!", "1. Start with if\n2. Follow it with let"},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "if let", pink}},
        .colorCount  = 20,
        .debugger    = true,
        .video       = "8cL6j5IXAAj",
    }, "9", "optional holds 9, so integer is 9 inside the braces. No ! needed."));

    addLesson(chapter, keyed({
        .id = "CH4L6", .number = 6, .title = "Optionals are all around us",
        .instruction = "Not everybody has a favorite band. Unwrap favoriteBand into band with if let.",
        .code = R"~(var favoriteBand: String?
if let band«= favoriteBand»{
   print("My favorite band is \(band)")
} else {
   print("I have no favorite band")
})~",
        .hint        = {"Stuck? Break it down!", "1. Assign with a single =\n2. = favoriteBand"},
        .wrong       = {{"Don't use ==", "if let gives band a value, so it uses a single =", "==", true}},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "if let", pink}, {INSTR, "favoriteBand", project}, {INSTR, "band", project}},
        .colorCount  = 15,
        .debugger    = true,
        .video       = "lsHUqJoUD_-",
    }, "I have no favorite band", "favoriteBand is nil, so the else branch runs."));

    addLesson(chapter, keyed({
        .id = "CH4L7", .number = 7, .title = "Challenge 1",
        .instruction = "Declare the variable favoriteApp as an optional String.",
        .code = R"(«var favoriteApp: String?»)",
        .success     = "favoriteApp starts as nil until you pick an app.",
        .hint        = {"Stuck? Break it down!", "1. var favoriteApp\n2. : String?"},
        .wrong       = {{"Don't use ==", "Declare the type with a colon: var favoriteApp: String?", "==", true}},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "favoriteApp", project}, {INSTR, "String", blue}},
        .colorCount  = 8,
        .video       = "Ydua-5ZMs1S",
    }, "nil", "favoriteApp starts as nil."));

    addLesson(chapter, keyed({
        .id = "CH4L8", .number = 8, .title = "Challenge 2",
        .instruction = "Is your favorite app this app? Unwrap favoriteApp and compare it with app.name.",
        .code = R"(var favoriteApp: String? = "Velomarinth"
let app = (name: "Velomarinth", stars: 5)
if «favoriteApp! ==»app.name {
   print("I am on cloud 9!")
})",
        .hint        = {"Stuck? Break it down!", "1. Compare the two names\n2. Unwrap the optional: favoriteApp!\n3. Test with =="},
        .wrong       = {{"Optional not unwrapped", "Unwrap favoriteApp with ! and compare with ==: favoriteApp! ==", "favoriteApp =", true}},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{L1, "var", pink}, {L2, "app", project}, {L3, "if", pink}, {L4, "print", blue},
                        {ERROR, "favoriteApp", project}},
        .colorCount  = 16,
        .debugger    = true,
        .video       = "WOpQaPRYpzb",
    }, "I am on cloud 9!", "Both names match. On to the next challenge!"));

    addLesson(chapter, keyed({
        .id = "CH4L9", .number = 9, .title = "Challenge 3",
        .instruction = "Add the apartment number to the address only when there is one: check that aptNumber is not nil.",
        .code = R"~(var address = "12 Apple Lane"
var aptNumber: Int? = 108
if«aptNumber != nil»{
   address += ", Apt: \(aptNumber!)"
}
// no apartment number: the address stays as it is
print(address))~",
        .hint        = {"Stuck? Break it down!", "1. Test aptNumber\n2. != nil"},
        .wrong       = {{"Don't use ==", "You want a value to be there: not equal to nil, !=", "==", true}},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "aptNumber", project}, {INSTR, "nil", pink}},
        .colorCount  = 21,
        .debugger    = true,
        .video       = "LGViYXjU2Jg",
    }, "12 Apple Lane, Apt: 108", "aptNumber holds 108, so it is added to the address."));

    addLesson(chapter, keyed({
        .id = "CH4L10", .number = 10, .title = "Challenge 4",
        .instruction = "Add the bonus to hitPoints only if there is one. Unwrap bonusHitPoints into bonus with if let.",
        .code = R"(var hitPoints = 20
var bonusHitPoints: Int? = 10
«if let bonus = bonusHitPoints» {
   hitPoints += bonus
}
print(hitPoints))",
        .hint        = {"Stuck? Break it down!", "1. if let bonus\n2. = bonusHitPoints"},
        .wrong       = {{"Don't use ==", "if let gives bonus a value with a single =", "==", true}},
        .placeholder = " ? ",
        .words       = {{"!", "=", ":"}},
        .colors      = {{INSTR, "if let", pink}, {INSTR, "bonus", project}, {INSTR, "bonusHitPoints", project}},
        .colorCount  = 22,
        .debugger    = true,
        .video       = "JngKtFI3OyV",
    }, "30", "There is a bonus of 10, so hitPoints grows from 20 to 30."));

    addLesson(chapter, {
        .id = "CH4L11", .number = 11, .title = "Ternary with Optional",
        .instruction = R"(var x: Int? is nil: it has no value. With the ternary operator (condition ? valueIfTrue : valueIfFalse), set var integers to 2 when x != nil and to 1 when x is nil. print then shows integers.)",
        .code = R"(var x: Int?
// x is nil: it has no value
// condition ? valueIfTrue : valueIfFalse
var integers = x != nil«? 2 : 1»
print(integers))",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "var x: Int? is nil, so x != nil is false and var integers gets 1, the value after the colon. print shows 1. Had x held a value, integers would be 2.",
        .hint        = {"Stuck? Break it down!", "1. The condition x != nil is given\n2. ? then the value if true: 2\n3. : then the value if false: 1\n4. var integers then holds 1, and print shows it\n? 2 : 1"},
        .words       = {{"?", ":"}},
        .colors      = {{INSTR, "nil", pink}, {INSTR, "x", project}, {INSTR, "2", purple}, {INSTR, "1", purple},
                        {INSTR, "condition ? valueIfTrue : valueIfFalse", comment}, {INSTR, "ternary operator", comment},
                        {SUCCESS, "1", purple}, {SUCCESS, "2", purple}, {ERROR, "2", purple}, {ERROR, "1", purple},
                        {ERROR, "? 2 : 1", comment}},
        .colorCount  = 43,
        .debugger    = true,
        .printValue  = "1",
        .sameMessage = true,
        .video       = "2dZAkg05rK-",
    });

    addLesson(chapter, {
        .id = "CH4L12", .number = 12, .title = "Ternary with Optional 2",
        .instruction = "var x: Int? is nil, and let y = 5. If x has a value, sum is x! + y; otherwise sum is y. Finish the ternary expression after let sum = x != nil, so print shows 5.",
        .code = R"(var x: Int?
let y = 5
// x is nil, so sum should be y
let sum = x != nil«? x! + y : y»
print(sum))",
        .padTo       = 10,
        .accepted    = {"?x!+y:y", "? x! + y:y", "? x!+y : y", kShortcutAnswer},
        .success     = "If x != nil, then sum = x! + y, else sum = y",
        .hint        = {"Stuck? Break it down!", "1. Format: condition ? valueIfTrue : valueIfFalse\n2. The condition x != nil is given: var x is nil\n3. Add ?\n4. If true: x! + y\n5. If false: : y (let y = 5)\n? x! + y : y"},
        .words       = {{"?", "!", "+", ":"}},
        .colors      = {{L4, "let", pink}, {L4, "nil", pink}, {L4, "!=", pink}, {L5, "print", blue}, {L5, "sum", project},
                        {INSTR, "5", purple}, {INSTR, "ternary expression", comment}, {INSTR, "x! + y", comment},
                        {SUCCESS, "x! + y", comment}, {SUCCESS, "If", pink}, {SUCCESS, "else", pink},
                        {ERROR, "condition ? valueIfTrue : valueIfFalse", comment}, {ERROR, "5", purple},
                        {ERROR, "? x! + y : y", comment}},
        .colorCount  = 43,
        .debugger    = true,
        .printValue  = "5",
        .sameMessage = true,
        .video       = "gqv81RKMGHZ",
    });

    addLesson(chapter, {
        .id = "CH4L13", .number = 13, .title = "Nil Coalescing Operator",
        .instruction = "let defaultHealth = 100 and var customHealth: Int? is nil here. a ?? b unwraps a if it has a value, else gives b. Give var userHealth customHealth, or defaultHealth when there is none, so print shows 100.",
        .code = R"(let defaultHealth = 100
var customHealth: Int?
// a ?? b gives a if a has a value, else b
// customHealth is nil here
var userHealth = «customHealth ?? defaultHealth»
print(userHealth))",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "customHealth is nil, so ?? falls back to let defaultHealth: var userHealth is 100 and print shows it. With a value in var customHealth: Int?, the nil-coalescing operator ?? would have unwrapped it.",
        .hint        = {"Stuck? Break it down!", "1. Start with the optional: customHealth (var customHealth: Int?)\n2. Add ??\n3. Then the default: defaultHealth (let defaultHealth = 100)\n4. print(userHealth) then shows 100\ncustomHealth ?? defaultHealth"},
        .words       = {{"?", "!"}},
        .colors      = {{INSTR, "??", pink}, {INSTR, "customHealth", project}, {INSTR, "defaultHealth", project},
                        {INSTR, "100", purple}, {INSTR, "a ?? b", comment}, {SUCCESS, "100", purple},
                        {SUCCESS, "nil-coalescing operator", comment}, {ERROR, "100", purple}, {ERROR, "optional", comment},
                        {ERROR, "customHealth ?? defaultHealth", comment}},
        .colorCount  = 46,
        .debugger    = true,
        .printValue  = "100",
        .sameMessage = true,
        .search      = "??",
        .video       = "EM9YpvujA_C",
    });

    addLesson(chapter, {
        .id = "CH4L14", .number = 14, .title = "Nil Coalescing Operator 2",
        .instruction = R"(let defaultName = "Guest" and var userName: String? = "Robin". Give let name the value of userName, or defaultName when userName is nil. Use ??, then print shows the name.)",
        .code = R"(let defaultName = "Guest"
var userName: String? = "Robin"
// userName has a value, so it is used
let name = «userName ?? defaultName»
print(name))",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = R"(userName holds "Robin", so ?? unwraps it and print shows Robin; let defaultName = "Guest" is not needed. Were var userName: String? nil, name would be "Guest".)",
        .hint        = {"Stuck? Break it down!", "1. Start with the optional: userName\n2. Add ??\n3. Then the default: defaultName\n4. let name then holds \"Robin\" and print(name) shows it\nuserName ?? defaultName"},
        .words       = {{"?", "!", "+"}},
        .colors      = {{INSTR, "??", pink}, {INSTR, "userName", project}, {INSTR, "defaultName", project},
                        {ERROR, "userName ?? defaultName", comment}},
        .colorCount  = 43,
        .debugger    = true,
        .printValue  = "Robin",
        .sameMessage = true,
        .search      = "??",
        .video       = "5Q52ryFlwRl",
    });
}
// clang-format on
