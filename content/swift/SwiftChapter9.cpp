// Swift course, chapter 9: functions: calls, parameters, return values, argument labels, inout,
// variadic parameters and four challenges. Lesson 9 carries the id "CH9L8B", so from there on the
// ids run one behind the numbers.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <utility>

using namespace content;
using namespace content::form;

namespace {

constexpr char kGreatWork[] = "Great work!  Let's continue";

// Every lesson but CH9L8B: empty debugger texts, output through the answer keys.
Lesson::Ptr add(Chapter& chapter, LessonForm form) {
    form.blankDebugTexts = true;
    return addLesson(chapter, std::move(form));
}

// Several spellings of one call, all printing the same value with the same success text.
std::vector<Output> sameOutput(std::initializer_list<LessonText> keys, const LessonText& printed,
                               const LessonText& success) {
    std::vector<Output> outputs;
    outputs.reserve(keys.size());
    for (const auto& key : keys)
        outputs.push_back({key, printed, success});
    return outputs;
}

} // namespace

// clang-format off
void buildSwiftChapter9(Chapter& chapter) {
    add(chapter, {
        .id = "CH9L1", .number = 1, .title = "What is a Function?",
        .instruction = "A function is named code that you can run again and again. Call addNumbers to get its result.",
        .code = R"(func addNumbers() -> Double {
   let a = 4.5
   let b = 4.5
   return a + b
}
let result = «addNumbers()»
print(result))",
        .hint        = {"Stuck?", "1. Write the function's name\n2. Add () to call it"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "addNumbers", project}},
        .colorCount  = 18,
        .debugger    = true,
        .outputs     = {{"addNumbers()", "9.0", "The function ran and returned 4.5 + 4.5."}},
        .video       = "2dVAMH2vWD6",
    });

    add(chapter, {
        .id = "CH9L2", .number = 2, .title = "Parameters",
        .instruction = "A parameter hands a value to the function. Greet the user: pass username as the name.",
        .code = R"(let username = "Robin"
func greetUser(name: String) -> String { return "Hi " + name }
// call the function with username
let greeting = «greetUser(name: username)»
print(greeting))",
        .accepted    = {"greetUser(name:username)"},
        .hint        = {"Stuck?", "1. greetUser( )\n2. The parameter name first: name:\n3. Then the value: username"},
        .wrong       = {{"Missing parameter name", "Write the parameter name, a colon and the value: greetUser(name: username)", "greetUser(n", true}},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "parameter", comment}, {INSTR, "username", project}},
        .colorCount  = 16,
        .debugger    = true,
        .outputs     = sameOutput({"greetUser(name: username)", "greetUser(name:username)"}, "Hi Robin",
                                  "The function received \"Robin\" as name."),
        .video       = "qeSPt5Pv74G",
    });

    add(chapter, {
        .id = "CH9L3", .number = 3, .title = "Nothing to return",
        .instruction = "Inside func times3(), a function that returns nothing (it just does its work), make number bigger with * 3. Then run the code.",
        .code = R"(var number = 3
func times3() {
   «number += number * 3»
}
print(number))",
        .accepted    = {"number += number*3", "number = number*3", "number = number * 3"},
        .hint        = {"Stuck?", "1. Change number inside the function\n2. number += number * 3"},
        .placeholder = "Tap to Answer",
        .words       = {{"+", "=", "*"}},
        .colors      = {{INSTR, "times3", project}},
        .colorCount  = 16,
        .debugger    = true,
        .outputs     = sameOutput({"number += number * 3", "number += number*3", "number = number*3", "number = number * 3"}, "3",
                                  "Still 3! func times3() is declared but never called, so its code never ran."),
        .video       = "DqQ7EyIMttF",
    });

    add(chapter, {
        .id = "CH9L4", .number = 4, .title = "Calling a function",
        .instruction = "var number = 3 and func times3() multiplies it by 3. Now call times3 so that its code runs.",
        .code = R"(var number = 3
func times3() {
   number = number * 3
}
«times3()»
print(number))",
        .hint        = {"Stuck?", "1. The function multiplies by 3: write its name, times3\n2. Add () to call it"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "times3", project}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = {{"times3()", "9", "This time func times3() ran: 3 * 3 = 9."}},
        .video       = "PSuEPyHnvnz",
    });

    add(chapter, {
        .id = "CH9L5", .number = 5, .title = "Function in function",
        .instruction = "A call can sit inside another call. Print the result of plus1 on numbers.",
        .code = R"(var numbers = [1, 2, 3, 4, 5]
func plus1(numbers: [Int]) -> [Int] {
   var result = [Int]()
   for number in numbers {
      result.append(number + 1)
   }
   return result
}
// call plus1 inside print
print(«plus1(numbers: numbers)»))",
        .accepted    = {"plus1(numbers:numbers)"},
        .hint        = {"Stuck?", "1. plus1( )\n2. numbers: numbers"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "plus1", project}},
        .colorCount  = 27,
        .debugger    = true,
        .outputs     = sameOutput({"plus1(numbers: numbers)", "plus1(numbers:numbers)"}, "[2, 3, 4, 5, 6]",
                                  "plus1 ran first and print showed what it returned."),
        .video       = "XtsMM3JznnJ",
    });

    add(chapter, {
        .id = "CH9L6", .number = 6, .title = "Multiple parameters",
        .instruction = "Give area two Int parameters, w and h, separated by a comma.",
        .code = R"(func area(«w: Int, h: Int») -> Int {
   return w * h
}
let size = area(w: 2, h: 5)
print(size))",
        .accepted    = {"w:Int, h:Int", "w:Int,h:Int"},
        .hint        = {"Stuck?", "1. w: Int\n2. a comma\n3. h: Int"},
        .placeholder = "Add parameters",
        .words       = {{":", ","}},
        .colors      = {{INSTR, "Int", blue}},
        .colorCount  = 16,
        .debugger    = true,
        .outputs     = sameOutput({"w: Int, h: Int", "w:Int, h:Int", "w:Int,h:Int"}, "10", "2 * 5 = 10. Parameters are separated by commas."),
        .video       = "AX7ebZ3CL7c",
    });

    add(chapter, {
        .id = "CH9L7", .number = 7, .title = "Omitting parameter names",
        .instruction = R"(The _ in func greetUser(_ name: String) means the call needs no parameter name. Call greetUser to greet "Robin".)",
        .code = R"(func greetUser(_ name: String) {
   print("Hello " + name)
}
«greetUser("Robin")»)",
        .accepted    = {R"(greetUser( "Robin" ))"},
        .hint        = {"Stuck?", "1. greetUser( )\n2. just the value: \"Robin\""},
        .placeholder = "Add code",
        .words       = {{"(", R"(")", ")"}},
        .colors      = {{INSTR, "_", pink}},
        .colorCount  = 13,
        .debugger    = true,
        .outputs     = sameOutput({R"(greetUser("Robin"))", R"(greetUser( "Robin" ))"}, "Hello Robin", "With _ the call reads like a sentence."),
        .video       = "sGZaF31DDxp",
    });

    add(chapter, {
        .id = "CH9L8", .number = 8, .title = "Function naming convention",
        .instruction = R"(When the name says what the parameter is, leave the label out. Call greetUserWithName with "Robin".)",
        .code = R"(func greetUserWithName(_ name: String) {
   print("Hello " + name)
}
«greetUserWithName( "Robin" )»)",
        .accepted    = {R"(greetUserWithName("Robin"))"},
        .hint        = {"Stuck?", "1. greetUserWithName( )\n2. \"Robin\""},
        .placeholder = "Call function",
        .words       = {{"(", R"(")", ")"}},
        .colors      = {{INSTR, "greetUserWithName", project}},
        .colorCount  = 12,
        .debugger    = true,
        .outputs     = {{"greetUserWithName", "Hello Robin", "The name of the function already says what it expects."}},
        .video       = "63OHm1FZuG2",
    });

    addLesson(chapter, {
        .id = "CH9L8B", .number = 9, .title = "External parameter names",
        .instruction = "In func squareOf(number x: Int) -> Int, the parameter has two names: the argument label number, which callers write, and the parameter name x, which the body uses in return x * x to give back its value times itself. That makes an external name and an internal name for one parameter. At the call site the label comes first, then a colon and the argument, so the call reads almost like English; an underscore _ instead of a label would remove it. The result goes into let squaredNumber, and print shows it on line 4: the number 10 gives 100. In line 3, call the squareOf function on the number 10.",
        .code = R"(func squareOf(number x: Int) -> Int {
   return x * x }
let squaredNumber =«squareOf(number: 10)»
print(squaredNumber))",
        .accepted    = {"squareOf(number:10)", kShortcutAnswer},
        .success     = "number is the argument label that callers use, as in squareOf(number: 10), while x is the parameter name inside func squareOf(number x: Int) -> Int, where return x * x turns 10 into 100 for let squaredNumber and print, so the label documents each call while the short name keeps the body tidy.",
        .hint        = {"Stuck? Break it down!", ""},
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 3, call the squareOf function on the number 10.", comment}, {L1, "func", pink},
                        {L2, "return", pink}, {L4, "print", blue}, {L4, "squaredNumber", project},
                        {SUCCESS, "argument label", comment}, {ERROR, "squareOf(number: 10)", comment},
                        {L1, "number", project}, {L1, "->", pink}, {L1, ":", pink}, {L2, "*", pink}, {L3, "=", pink},
                        {INSTR, "number", project}, {INSTR, "two names", comment}, {INSTR, "argument label", comment},
                        {INSTR, "callers", comment}, {INSTR, "parameter name", comment}, {INSTR, "body", comment},
                        {INSTR, "*", pink}, {INSTR, "times itself", comment}, {INSTR, "external name", comment},
                        {INSTR, "internal name", comment}, {INSTR, "result", comment}, {INSTR, "line 4", comment},
                        {INSTR, "100", purple}, {INSTR, "10", purple}, {INSTR, "parameter", comment}, {INSTR, "value", comment},
                        {INSTR, "call site", comment}, {INSTR, "colon", comment}, {INSTR, "argument", comment},
                        {INSTR, "English", comment}, {INSTR, "underscore", comment}, {INSTR, "_", pink},
                        {INSTR, "label", comment}, {INSTR, "4", purple}, {INSTR, "3", purple}, {INSTR, ":", pink}, {INSTR, "reads", comment},
                        {ERROR, "Stuck?", orange}, {ERROR, "Break it down!", comment},
                        {SUCCESS, "number", project}, {SUCCESS, "callers", comment}, {SUCCESS, "parameter name", comment},
                        {SUCCESS, "inside", comment}, {SUCCESS, "*", pink}, {SUCCESS, "10", purple}, {SUCCESS, "100", purple},
                        {SUCCESS, "documents each call", comment}, {SUCCESS, "short name", comment}, {SUCCESS, "body", comment},
                        {SUCCESS, "label", comment}, {SUCCESS, ":", pink}, {SUCCESS, "tidy", comment}},
        .colorCount  = 78,
        .debugger    = true,
        .printValue  = "100",
        .sameMessage = true,
        .search      = "argument label",
    });

    add(chapter, {
        .id = "CH9L9", .number = 10, .title = "Parameters & Mutability",
        .instruction = "Parameters are constants. Copy number into a variable of the same name so the body can change it.",
        .code = R"(func double(number: Int) -> Int {
   // parameters are constants: copy it into a variable
   «var number = number»
   number = number * 2
   return number
}
print(double(number: 1)))",
        .accepted    = {"var number=number"},
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. var number\n2. = number"},
        .placeholder = "Add parameter",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "constants", comment}},
        .colorCount  = 16,
        .debugger    = true,
        .outputs     = sameOutput({"var number = number", "var number=number"}, "2", "The variable shadows the parameter and can change."),
        .video       = "96c0xPbX-ne",
    });

    add(chapter, {
        .id = "CH9L10", .number = 11, .title = "In-Out Parameters",
        .instruction = "An inout parameter lets the function change the caller's variable. Declare number as inout Int.",
        .code = R"(var value = 1
func plusOne(«number: inout Int») {
   number += 1
}
plusOne(number: &value)
print(value))",
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. number:\n2. inout Int"},
        .placeholder = "Add parameter",
        .words       = {{"!", ":"}},
        .colors      = {{INSTR, "inout", pink}},
        .colorCount  = 16,
        .debugger    = true,
        .outputs     = {{"number: inout Int", "2", "value itself changed, because it was passed with &."}},
        .search      = "inout",
        .video       = "GBuzSm6A8cV",
    });

    add(chapter, {
        .id = "CH9L11", .number = 12, .title = "Variadic Parameters",
        .instruction = "Int... takes any number of Ints. Call addNumbers with 1, 2 and 3.",
        .code = R"(func addNumbers(_ numbers: Int...) -> Int {
   var total = 0
   for number in numbers {
      total += number
   }
   return total
}
var sum = «addNumbers(1, 2, 3)»
print(sum))",
        .accepted    = {"addNumbers(1,2,3)"},
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. addNumbers( )\n2. 1, 2, 3"},
        .placeholder = "Call function",
        .words       = {{"(", ",", ")"}},
        .colors      = {{INSTR, "Int...", blue}},
        .colorCount  = 20,
        .debugger    = true,
        .outputs     = sameOutput({"addNumbers(1, 2, 3)", "addNumbers(1,2,3)", "addNumbers( 1, 2, 3)"}, "6", "1 + 2 + 3 = 6."),
        .video       = "R06AxYpThGJ",
    });

    add(chapter, {
        .id = "CH9L12", .number = 13, .title = "Challenge 1",
        .instruction = "w and l are the sides: declare the function perimeter of w and l (both Int) that returns an Int.",
        .code = R"(var width = 6
var length = 10
«func perimeter(w: Int, l: Int) -> Int»{)",
        .accepted    = {"func perimeter(w: Int,l: Int) -> Int", "func perimeter(w:Int,l:Int)->Int", "func perimeter(w:Int,l:Int) -> Int",
                        "func perimeter(w: Int,l: Int)->Int", "func perimeter(l: Int, w: Int) -> Int", "func perimeter(l: Int,w: Int) -> Int",
                        "func perimeter(l: Int, w: Int)->Int", "func perimeter(l: Int,w: Int)->Int", "func perimeter(l:Int,w:Int)->Int",
                        "func perimeter(l:Int,w:Int) -> Int"},
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. func perimeter\n2. (w: Int, l: Int)\n3. -> Int"},
        .placeholder = "Create function",
        .words       = {{"(", ":", ",", "-", ">", ")"}},
        .colors      = {{L1, "var", pink}, {L1, "6", purple}},
        .colorCount  = 12,
        .outputs     = {{"perimeter", "", kGreatWork}},
        .video       = "WZhbj11THnC",
    });

    add(chapter, {
        .id = "CH9L13", .number = 14, .title = "Challenge 2",
        .instruction = "The body computes result. Hand it back to the caller.",
        .code = R"(var width = 6
var length = 10
func perimeter(w: Int, l: Int) -> Int {
   let result = 2 * (w + l)
   «return result»
})",
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. return\n2. result"},
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "result", project}},
        .colorCount  = 16,
        .outputs     = {{"return", "", kGreatWork}},
        .video       = "MZCY7Bvqiy8",
    });

    add(chapter, {
        .id = "CH9L14", .number = 15, .title = "Challenge 3",
        .instruction = "Print the perimeter of width and length.",
        .code = R"(var width = 6
var length = 10
func perimeter(w: Int, l: Int) -> Int {
   let result = 2 * (w + l)
   return result
}
«print(perimeter(w: width, l: length))»)",
        .accepted    = {"print(perimeter(w:width, l:length))", "print(perimeter(w: width,l: length))", "print(perimeter(w:width,l:length))"},
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. print( )\n2. perimeter(w: width, l: length)"},
        .words       = {{"(", ":", ",", ")"}},
        .colors      = {{INSTR, "width", project}, {INSTR, "length", project}},
        .colorCount  = 17,
        .debugger    = true,
        .outputs     = sameOutput({"print(perimeter(w: width, l: length))", "print(perimeter(w:width, l:length))",
                                   "print(perimeter(w: width,l: length))", "print(perimeter(w:width,l:length))"},
                                  "32", "2 * (6 + 10) = 32."),
        .video       = "CsT07Lq8TDI",
    });

    add(chapter, {
        .id = "CH9L15", .number = 16, .title = "Challenge 4",
        .instruction = "Declare calculateBonus: it takes score, an Int, and may return an Int or nil.",
        .code = R"(«func calculateBonus(score: Int) -> Int?»{
   if score > 100 {
      return score / 10
   }
   return nil
}
// no bonus up to 100 points
if let bonus = calculateBonus(score: 200) {
   print(bonus)
})",
        .accepted    = {"func calculateBonus(score:Int)->Int?", "func calculateBonus(score: Int)->Int?", "func calculateBonus(score:Int) -> Int?"},
        .success     = kGreatWork,
        .hint        = {"Stuck?", "1. func calculateBonus(score: Int)\n2. -> Int? because there may be no bonus"},
        .placeholder = "Declare function",
        .words       = {{"(", "#", "-", ">", "?", ")"}},
        .colors      = {{INSTR, "Int", blue}, {INSTR, "nil", pink}},
        .colorCount  = 19,
        .debugger    = true,
        .outputs     = sameOutput({"func calculateBonus(score: Int) -> Int?", "func calculateBonus(score:Int)->Int?",
                                   "func calculateBonus(score: Int)->Int?", "func calculateBonus(score:Int) -> Int?"},
                                  "20", "Chapter complete! An optional return type lets a function say \"nothing\"."),
        .video       = "WG2x9aJTFMP",
    });
}
// clang-format on
