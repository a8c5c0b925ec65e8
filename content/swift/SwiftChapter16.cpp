// Swift course, chapter 16: functions as values, closures, and one closure simplified step by
// step.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter16(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH16L1", .number = 1, .title = "Function types",
        .instruction = "Every function has a type made of its parameter types and its return type. printHelloWorld takes nothing and returns nothing, so its type is () -> Void. In line 1, declare the function printHelloWorld.",
        .code = R"(«func printHelloWorld()»{
   print("Hello World")
})",
        .accepted    = {"func printHelloWorld() -> Void", "func printHelloWorld()->Void", "func printHelloWorld()-> Void", "func printHelloWorld()-> Void"},
        .success     = "printHelloWorld is of type () -> Void.",
        .hint        = {"Stuck?", "Break it down. \n 1. Name the function: func printHelloWorld \n 2. It takes no parameters: () \n 3. It returns nothing, so -> Void may be left out: func printHelloWorld() -> Void"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "characters", blue}, {INSTR, "count", blue}, {INSTR, "myString", project}, {L2, "print", blue},
                        {L2, R"("Hello World")", red}, {SUCCESS, "() -> Void", comment}, {SUCCESS, "printHelloWorld", comment},
                        {ERROR, "func printHelloWorld", comment}, {ERROR, "()", comment}, {ERROR, " -> Void", comment}},
        .autoColor   = false,
        .outputs     = {{" ", "", ""}},
        .video       = "_1HQHvfya2r",
    });

    addLesson(chapter, {
        .id = "CH16L2", .number = 2, .title = "Using function types",
        .instruction = "A function type can be the type of a variable, and then any function of that type can be stored in it and called through it. In line 4, declare a variable mathFunc that holds a function taking two Int and returning an Int.",
        .code = R"(func addInts(a: Int, b: Int) -> Int {
   return a + b
}
«var mathFunc: (Int, Int) -> Int»
mathFunc = addInts
print(mathFunc(3, 4)))",
        .accepted    = {"var mathFunc:(Int, Int) -> Int", "var mathFunc:(Int,Int) -> Int", "var mathFunc:(Int, Int)->Int", "var mathFunc: (Int,Int) -> Int", "var mathFunc: (Int, Int)->Int", "var mathFunc: (Int,Int)->Int", "var mathFunc:(Int,Int)->Int", kShortcutAnswer},
        .success     = "mathFunc called addInts with 3 and 4.",
        .hint        = {"Stuck? Break it down.", "1. Declare the variable: var mathFunc: \n 2. The parameter types go in parentheses: (Int, Int) \n 3. Then the return type: -> Int \n 4. Together: var mathFunc: (Int, Int) -> Int"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "'", "-", ">", ")"}},
        .colors      = {{INSTR, "In line 4, declare a variable mathFunc that holds a function taking two Int and returning an Int.", comment},
                        {INSTR, "array", blue}, {L1, "func", pink}, {L1, "addInts", project}, {L1, "b", project},
                        {L2, "return", pink}, {L2, "a", project}, {L2, "b", project}, {L5, "addInts", project},
                        {L6, "print", blue}, {L6, "3", purple}, {L6, "4", purple},
                        {ERROR, "var mathFunc: (Int, Int) -> Int", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "7",
        .search      = "",
        .video       = "Lb7Picehjbw",
    });

    addLesson(chapter, {
        .id = "CH16L3", .number = 3, .title = "Nested functions",
        .instruction = "Functions can be declared inside other functions; the inner one can only be used inside. In line 4, call foo.",
        .code = R"(func foo() {
   func bar() { print("Foo!") }
   bar() }
«foo()»)",
        .success     = "foo called its nested function bar.",
        .hint        = {"Stuck? Break it down.", "1. Call the function by its name and parentheses: foo()"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 4, call foo.", comment}, {INSTR, "array", blue},
                        {SUCCESS, "foo", project}, {SUCCESS, "bar", project},
                        {L1, "func", pink}, {L1, "foo", project}, {L2, "func", pink},
                        {L2, "bar", project}, {L2, "print", blue}, {L2, R"("Foo!")", red}, {L3, "bar", project},
                        {SUCCESS, "mathFunc", project}, {SUCCESS, "addInts", project}, {ERROR, "foo()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "Foo!",
        .search      = "",
        .video       = "Fv6OPa0IXfk",
    });

    addLesson(chapter, {
        .id = "CH16L4", .number = 4, .title = "Simple closure",
        .instruction = "A closure is a block of code without a name. Store it in a constant with let and call it later like a function: bar(). In line 7, call bar.",
        .code = R"(// A closure is a function without a name
let bar = {
   print("Bar!")
}
// Store it in a constant and
// call it like a function
«bar()»)",
        .success     = "The closure stored in bar ran.",
        .hint        = {"Stuck? Break it down.", "1. Call the closure like a function: bar()"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 7, call bar.", comment}, {INSTR, "array", blue}, {INSTR, "closure", project},
                        {INSTR, "let", pink}, {INSTR, "bar()", project},
                        {L1, "// A closure is a function without a name", comment}, {SUCCESS, "bar", project},
                        {SUCCESS, "closure", project}, {L2, "let", pink}, {L2, "bar", project}, {L3, "print", blue},
                        {L3, R"("Bar!")", red}, {L5, "// Store it in a constant and", comment},
                        {L6, "// call it like a function", comment}, {SUCCESS, "mathFunc", project}, {ERROR, "bar()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "Bar!",
        .search      = "",
        .video       = "Xff_lzqvcKZ",
    });

    addLesson(chapter, {
        .id = "CH16L5", .number = 5, .title = "Closure syntax",
        .instruction = "A closure lists its parameters and return type before the keyword in, followed by its statements. In line 7, call addOne with 5.",
        .code = R"(// { (parameters) -> return type in
//     statements }
let addOne = { (number: Int) in
   let result = number + 1
   print(result)
}
«addOne(5)»)",
        .accepted    = {"addOne( 5 )"},
        .success     = "5 + 1 is 6.",
        .hint        = {"Stuck? Break it down.", "1. Call the closure with 5: addOne(5)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 7, call addOne with 5.", comment}, {INSTR, " in", pink},
                        {L1, "// { (parameters) -> return type in", comment}, {L2, "//     statements }", comment},
                        {L3, "let", pink}, {L3, "addOne", project}, {L3, "number", project}, {L3, "Int", blue},
                        {L3, "in", pink}, {L4, "let", pink}, {L4, "1", purple}, {L5, "print", blue},
                        {SUCCESS, "mathFunc", project}, {SUCCESS, "addInts", project}, {ERROR, "addOne(5)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "6",
        .search      = "",
        .video       = "rYiFspQChNu",
    });

    addLesson(chapter, {
        .id = "CH16L6", .number = 6, .title = ".map closure",
        .instruction = "map runs a closure on every element of an array and collects the results in a new array. In line 6, print squared.",
        .code = R"(let values: [Double] = [2,3,4]
let squared = values.map({
   (value: Double) -> Double in
   return value * value
})
«print(squared)»)",
        .accepted    = {"print( squared )"},
        .success     = "Every value was squared.",
        .hint        = {"Stuck? Break it down.", "1. Call print with squared: print(squared)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 6, print squared.", comment}, {INSTR, "map", blue}, {L1, "let", pink},
                        {L1, "values", project}, {L1, "Double", blue}, {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple},
                        {L2, "let", pink}, {L2, "squared", project}, {L2, "values", project}, {L2, "map", blue},
                        {L3, "Double", blue}, {L3, "in", pink}, {L4, "return", pink}, {SUCCESS, "mathFunc", project},
                        {SUCCESS, "addInts", project}, {ERROR, "print(squared)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "[4.0, 9.0, 16.0]",
        .search      = "",
        .video       = "tYCgvQ21HEw",
    });

    addLesson(chapter, {
        .id = "CH16L7", .number = 7, .title = ".map inferring types",
        .instruction = "Swift knows that values holds Double, so the closure does not have to repeat the types. Update line 3 by removing the types.",
        .code = R"(let values: [Double] = [2,3,4]
let squared = values.map({
   «value in»
   return value * value
})
print(squared))",
        .accepted    = {"(value) in"},
        .success     = "Same result, shorter closure.",
        .hint        = {"Stuck? Break it down.", "The parameter types and the return type can be inferred, so only the name is left: value in"},
        .placeholder = "  (value: Double) -> Double in ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "Update line 3 by removing the types.", comment},
                        {INSTR, "values", project}, {L1, "let", pink}, {L1, "Double", blue},
                        {L1, "2", purple}, {L1, "values", project}, {L1, "3", purple}, {L1, "4", purple},
                        {L2, "values", project}, {L2, "map", blue}, {L2, "let", pink}, {L2, "squared", project},
                        {L3, "in", pink}, {L4, "return", pink}, {L6, "print", blue}, {L6, "squared", project},
                        {SUCCESS, "mathFunc", project}, {SUCCESS, "addInts", project}, {ERROR, "(value) in", comment},
                        {ERROR, "value in", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "[4.0, 9.0, 16.0]",
        .search      = "",
        .video       = "EnK4RNsgNMf",
    });

    addLesson(chapter, {
        .id = "CH16L8", .number = 8, .title = ".map implicit return",
        .instruction = "A closure made of a single expression returns its value without the keyword return. In line 4, remove the return keyword.",
        .code = R"(let values: [Double] = [2,3,4]
let squared = values.map({
   value in
   «value * value»
})
print(squared))",
        .accepted    = {"value*value"},
        .success     = "Shorter still.",
        .hint        = {"Stuck? Break it down.", "1. Leave out return: value * value"},
        .placeholder = " return value * value ",
        .words       = {{"(", "*", ")"}},
        .colors      = {{INSTR, "In line 4, remove the return keyword.", comment}, {INSTR, "return", pink},
                        {L3, "value", project}, {L1, "let", pink}, {L1, "values", project},
                        {L1, "Double", blue}, {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple}, {L2, "let", pink},
                        {L2, "squared", project}, {L2, "values", project}, {L2, "map", blue}, {L3, "in", pink},
                        {L6, "print", blue}, {L6, "squared", project}, {SUCCESS, "mathFunc", project},
                        {SUCCESS, "addInts", project}, {ERROR, "value * value", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "[4.0, 9.0, 16.0]",
        .search      = "",
        .video       = "fD1Owx8SXSZ",
    });

    addLesson(chapter, {
        .id = "CH16L9", .number = 9, .title = ".map shorthand names",
        .instruction = "Closures get shorthand names for their parameters: $0 for the first, $1 for the second. With them the parameter list and in go away. In line 3, square the value using $0.",
        .code = R"(let values: [Double] = [2,3,4]
let squared = values.map({
   «$0 * $0»
})
print(squared))",
        .accepted    = {"$0*$0"},
        .success     = "$0 stands for each value in turn.",
        .hint        = {"Stuck? Break it down.", "1. $0 is the value: $0 * $0"},
        .placeholder = " Tap to answer ",
        .words       = {{"$", "0", "*"}},
        .colors      = {{INSTR, "In line 3, square the value using $0.", comment}, {INSTR, " in ", pink},
                        {INSTR, "$0", project}, {INSTR, "$1", project}, {L1, "let", pink},
                        {L1, "values", project}, {L1, "Double", blue}, {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple},
                        {L2, "let", pink}, {L2, "squared", project}, {L2, "values", project}, {L2, "map", blue},
                        {L5, "print", blue}, {L5, "squared", project}, {SUCCESS, "mathFunc", project},
                        {SUCCESS, "addInts", project}, {ERROR, "$0 * $0", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "[4.0, 9.0, 16.0]",
        .search      = "",
        .video       = "lLQAtVwflrz",
    });

    addLesson(chapter, {
        .id = "CH16L10", .number = 10, .title = ".map simplified",
        .instruction = "When a closure is the last argument it can follow the parentheses, and when it is the only one the parentheses can go. In line 2, pass the closure to map in one line.",
        .code = R"(let values: [Double] = [2,3,4]
let squared = values.map «{$0 * $0}»
print(squared))",
        .accepted    = {"{ $0 * $0 }", "{$0*$0}"},
        .success     = "From five lines to one: values.map {$0 * $0}.",
        .hint        = {"Stuck? Break it down.", "1. Put the closure in braces: {$0 * $0}"},
        .placeholder = " Tap to answer ",
        .words       = {{"{", "$", "0", "*", "}"}},
        .colors      = {{INSTR, "In line 2, pass the closure to map in one line.", comment},
                        {SUCCESS, "values", project},
                        {SUCCESS, "map", blue}, {L1, "let", pink}, {L1, "values", project},
                        {L1, "Double", blue}, {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple}, {L2, "let", pink},
                        {L2, "squared", project}, {L2, "values", project}, {L2, "map", blue}, {L3, "print", blue},
                        {L3, "squared", project}, {SUCCESS, "mathFunc", project}, {SUCCESS, "addInts", project},
                        {ERROR, "{$0 * $0}", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "[4.0, 9.0, 16.0]",
        .search      = "",
        .video       = "E_UjWIc49Dm",
    });

    addLesson(chapter, {
        .id = "CH16L11", .number = 11, .title = ".reduce closure",
        .instruction = "reduce combines all elements of an array into one value, starting from an initial value. In line 4, print numberSum.",
        .code = R"(let numbers = [1, 2, 3, 4]
let numberSum = numbers.reduce(0, {
   (sum: Int, number: Int) -> Int in sum + number })
«print(numberSum)»)",
        .accepted    = {"print( numberSum)"},
        .success     = "0 + 1 + 2 + 3 + 4 is 10.",
        .hint        = {"Stuck? Break it down.", "1. Call print with numberSum: print(numberSum)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 4, print numberSum.", comment}, {INSTR, "reduce", blue},
                        {SUCCESS, "10", purple}, {L1, "let", pink},
                        {L1, "numbers", project}, {L1, "1", purple}, {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple},
                        {L2, "let", pink}, {L2, "numberSum", project}, {L2, "numbers", project}, {L2, "reduce", blue},
                        {L2, "0", purple}, {L3, "sum", project}, {L3, "Int", blue}, {L3, "number", project}, {L3, "in", pink},
                        {SUCCESS, "addInts", project}, {ERROR, "print(numberSum)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "10",
        .search      = "",
        .video       = "QzNUMGGjEYJ",
    });

    addLesson(chapter, {
        .id = "CH16L12", .number = 12, .title = ".reduce closure simplified",
        .instruction = "The same shortcuts work for reduce: $0 is the running total and $1 the next number. Please call and simplify the reduce closure in line 2.",
        .code = R"(let numbers = [1, 2, 3, 4]
let numberSum = numbers«.reduce(0) {$0 + $1}»
print(numberSum))",
        .lines       = 3,
        .padTo       = 4,
        .accepted    = {".reduce(0){$0 + $1}", ".reduce(0) {$0+$1}", ".reduce(0){$0+$1}", ".reduce(0) { $0 + $1 }", ".reduce(0){ $0 + $1 }"},
        .success     = "The whole sum in one short line.",
        .hint        = {"Stuck? Break it down.", "1. Call reduce with the initial value: .reduce(0) \n 2. Add a trailing closure: { } \n 3. Add the shorthand names: $0 + $1 \n 4. Together: .reduce(0) {$0 + $1}"},
        .placeholder = " Tap to answer ",
        .words       = {{"{", "(", "$", "+", ")", "}"}},
        .colors      = {{INSTR, "call and simplify the reduce closure in line 2.", comment},
                        {INSTR, "reduce", blue},
                        {INSTR, "$0", project}, {L1, "1", purple},
                        {L1, "2", purple}, {L1, "3", purple}, {L1, "4", purple}, {L1, "let", pink}, {L1, "numbers", project},
                        {L2, "reduce", blue}, {L2, "0", purple}, {L2, "let", pink}, {L2, "numberSum", project},
                        {L2, "numbers", project}, {L3, "print", blue}, {L3, "numberSum", project},
                        {SUCCESS, "mathFunc", project}, {SUCCESS, "addInts", project},
                        {ERROR, ".reduce(0) {$0 + $1}", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .printValue  = "10",
        .search      = "",
        .video       = "PbxRfPCMBgh",
    });

    addLesson(chapter, {
        .id = "CH16L13", .number = 13, .title = "Delay function with closure",
        .instruction = "DispatchQueue.main.asyncAfter runs a closure later, here two seconds from now. In line 8, call delay.",
        .code = R"(func delay() {
   print("Wait for it...")
   DispatchQueue.main.asyncAfter(
       deadline: .now() + 2) {
       print("Surprise!")
   }
}
«delay()»)",
        .success     = R"("Wait for it..." prints at once, "Surprise!" two seconds later.)",
        .hint        = {"Stuck? Break it down.", "1. Call the function: delay()"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 8, call delay.", comment}, {INSTR, "DispatchQueue", blue}, {L1, "func", pink},
                        {L1, "delay", project}, {L2, "print", blue}, {L2, R"("Wait for it...")", red},
                        {L3, "DispatchQueue", blue}, {L3, "main", blue}, {L3, "asyncAfter", blue}, {L4, "now", blue},
                        {L4, "2", purple}, {L5, "print", blue}, {L5, R"("Surprise!")", red}, {SUCCESS, "addInts", project},
                        {ERROR, "delay()", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .search      = "",
        .video       = "GpHx-Tl86aA",
    });
}
// clang-format on
