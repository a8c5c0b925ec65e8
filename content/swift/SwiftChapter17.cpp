// Swift course, chapter 17: extensions of Int, Double, Bool and String.
#include "content/swift/SwiftChapter17.hpp"
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <random>
#include <string>

using namespace content;
using namespace content::form;

namespace {

// A uniform draw below `bound`, as the platform's arc4random_uniform gives it.
std::uint32_t systemDraw(std::uint32_t bound) {
    if (bound == 0) return 0;
    static std::mt19937 engine{std::random_device{}()};
    return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(engine);
}

} // namespace

void buildSwiftChapter17(Chapter& chapter) {
    buildSwiftChapter17(chapter, systemDraw);
}

// clang-format off
void buildSwiftChapter17(Chapter& chapter, const UniformDraw& draw) {
    addLesson(chapter, {
        .id = "CH17L1", .number = 1, .title = "Extensions explained",
        .instruction = "An extension adds new functionality to a type that already exists, even one you did not write, such as Int. Here every Int learns to tell whether it is even. In line 7, print the result of calling isEven on myInt.",
        .code = R"(extension Int {
   func isEven() -> Bool {
       return (self % 2) == 0
   }
}
let myInt = 2
«print(myInt.isEven())»)",
        .accepted    = {"print( myInt.isEven() )", "print(myInt.isEven() )"},
        .hint        = {"Stuck? Break it down!", "1. Call the print function: print() \n 2. Call isEven on myInt inside it \n print(myInt.isEven())"},
        .placeholder = "Call the print function",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 7, print the result of calling isEven on myInt.", comment}, {INSTR, "Int", blue},
                        {L1, "extension", pink}, {L1, "Int", blue}, {L2, "func", pink}, {L2, "Bool", blue},
                        {L3, "return", pink}, {L3, "2", purple}, {L3, "0", purple}, {L6, "let", pink}, {L6, "2", purple},
                        {ERROR, "print(myInt.isEven())", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(myInt.isEven())", "true", "Every Int in your program can now use isEven()."},
                        {"print( myInt.isEven() )", "true", "Every Int in your program can now use isEven()."},
                        {"print(myInt.isEven() )", "true", "Every Int in your program can now use isEven()."}},
        .video       = "O7Qkb3EmK0o",
    });

    addLesson(chapter, {
        .id = "CH17L2", .number = 2, .title = "Computed properties",
        .instruction = "An extension can add computed properties too. These turn a Double number of days into other units of time. In line 7, print the hours of oneDay.",
        .code = R"(extension Double {
   var minutes: Int { return Int(self * 1440) }
   var hours: Int { return Int(self * 24) }
   var seconds: Int { return Int(self * 86400) }
}
let oneDay = 1.0
«print(oneDay.hours)»)",
        .accepted    = {"print( oneDay.hours )"},
        .hint        = {"Stuck?", "1. Call the print function: print() \n 2. Read the hours property of oneDay \n print(oneDay.hours)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 7, print the hours of oneDay.", comment}, {INSTR, "extension", pink},
                        {L1, "extension", pink}, {L1, "Double", blue}, {L2, "var", pink}, {L2, "Int", blue},
                        {L2, "return", pink}, {L2, "self", pink}, {L2, "1440", purple}, {L3, "var", pink}, {L3, "Int", blue},
                        {L3, "return", pink}, {L3, "self", pink}, {L3, "24", purple}, {L4, "var", pink}, {L4, "Int", blue},
                        {L4, "return", pink}, {L4, "self", pink}, {L4, "86400", purple}, {L6, "let", pink},
                        {L6, "1.0", purple}, {ERROR, "print(oneDay.hours)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(oneDay.hours)", "24", "One day has 24 hours, worked out by the computed property."},
                        {"print( oneDay.hours )", "24", "One day has 24 hours, worked out by the computed property."}},
        .video       = "wSFdPbC1S0y",
    });

    addLesson(chapter, {
        .id = "CH17L3", .number = 3, .title = "Mutating instance methods",
        .instruction = "A method that changes self must be marked mutating. This one flips a Bool. In line 7, open the door by toggling doorIsOpen.",
        .code = R"(extension Bool {
   mutating func toggle() {
       self = !self
   }
}
var doorIsOpen = false
«doorIsOpen.toggle()»
print(doorIsOpen))",
        .hint        = {"Stuck?", "1. Start with the variable: doorIsOpen \n 2. Call toggle() on it \n doorIsOpen.toggle()"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 7, open the door by toggling doorIsOpen.", comment}, {INSTR, "mutating", pink},
                        {INSTR, "Bool", blue}, {L1, "extension", pink}, {L1, "Bool", blue},
                        {L2, "mutating", pink}, {L2, "func", pink}, {L2, "toggle", blue}, {L3, "self", pink},
                        {L6, "var", pink}, {L6, "doorIsOpen", project}, {L6, "false", pink}, {L8, "print", blue},
                        {L8, "doorIsOpen", project}, {SUCCESS, "mutating", pink}, {ERROR, "doorIsOpen.toggle()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"doorIsOpen.toggle()", "true", "toggle() is mutating: it changed doorIsOpen from false to true."}},
        .video       = "43kJC7x0KBC",
    });

    addLesson(chapter, {
        .id = "CH17L4", .number = 4, .title = "Does string contain substring",
        .instruction = R"(This extension lets every String search itself for another String. In line 7, check whether str contains "Buster".)",
        .code = R"(extension String {
   func contains(find: String) -> Bool {
       return self.range(of: find) != nil
   }
}
let str = "Hello Buster"
let strFound = «str.contains("Buster")»
print(strFound))",
        .accepted    = {R"(str.contains( "Buster" ))"},
        .hint        = {"Stuck? Break it down.", "1. Call contains on str: str.contains() \n 2. Pass the text \"Buster\" \n str.contains(\"Buster\")"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, R"(In line 7, check whether str contains "Buster".)", comment}, {L1, "String", blue},
                        {L1, "extension", pink}, {L2, "func", pink}, {L2, "contains", blue}, {L2, "String", blue},
                        {L3, "range", blue}, {L3, "nil", pink}, {L3, "return", pink}, {L3, "self", pink},
                        {L6, R"("Hello Buster")", red}, {L6, "let", pink}, {L7, "let", pink}, {L8, "print", blue},
                        {L8, "strFound", project}, {ERROR, R"(str.contains("Buster"))", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(str.contains("Buster"))", "true", R"("Hello Buster" does contain "Buster".)"},
                        {R"(str.contains( "Buster" ))", "true", R"("Hello Buster" does contain "Buster".)"}},
        .search      = "find string characters",
        .video       = "DZjKhXOaFuv",
    });

    // Drawn once per catalogue build, so Run shows the same number until the app starts again.
    const auto upTo100 = std::to_string(draw(101));
    const auto from50 = std::to_string(50 + draw(51));
    addLesson(chapter, {
        .id = "CH17L5", .number = 5, .title = "Random number - Int",
        .instruction = "A static function belongs to the type itself. This one gives a random Int between min and max; min has a default value of 0. In line 7, get a random number up to 100.",
        .code = R"(extension Int {
   static func random(min: Int = 0, max: Int) -> Int {
       return Int(arc4random_uniform(
           UInt32((max - min) + 1))) + min
   }
}
let randomInt = «Int.random(max: 100)»
print(randomInt))",
        .accepted    = {"Int.random(min: 50, max: 100)", "Int.random(max:100)", "Int.random(min:50,max:100)"},
        .hint        = {"Stuck? Break it down.", "1. Call the function on the type: Int.random() \n 2. Pass the largest number: max: 100 \n 3. Add min: 50 before it if you like \n Int.random(max: 100)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ":", ")"}},
        .colors      = {{INSTR, "In line 7, get a random number up to 100.", comment}, {L1, "extension", pink},
                        {L1, "Int", blue}, {L2, "static", pink}, {L2, "func", blue}, {L2, "0", purple}, {L2, "random", blue},
                        {L2, "Int", blue}, {L3, "arc4random_uniform", blue}, {L3, "return", pink}, {L4, "UInt32", blue},
                        {L4, "1", purple}, {L7, "let", pink}, {L8, "randomInt", project},
                        {ERROR, "Int.random(max: 100)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"Int.random(max:100)", upTo100, "Run the app again for another number."},
                        {"Int.random(max: 100)", upTo100, "Run the app again for another number."},
                        {"Int.random(min:50,max:100)", from50, "Run the app again for another number."},
                        {"Int.random(min: 50, max: 100)", from50, "Run the app again for another number."}},
        .video       = "iMsBn07D5gI",
    });
}
// clang-format on
