// Swift course, chapter 11: tuples, named and unnamed, in switches, as function results and
// arguments, in loops over dictionaries and arrays, and four challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter11(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH11L1", .number = 1, .title = "What is a tuple?",
        .instruction = R"(A tuple groups several values into one compound value. The values can be of any type and do not have to be of the same type: here error holds the Int 404 and the String "Not Found". Use let for a tuple that never changes and var for one that does. In line 2, print the tuple error.)",
        .code = R"(let error = (404, "Not Found")
«print(error)»)",
        .accepted    = {"print( error )"},
        .hint        = {"Stuck?", "Break it down. \n 1. Call the print function: print() \n 2. Put error between the parentheses: print(error)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 2, print the tuple error.", comment}, {INSTR, "tuple", blue}, {INSTR, "Int", blue},
                        {INSTR, "404", purple}, {INSTR, "String", blue}, {INSTR, R"("Not Found")", red}, {INSTR, "let", pink},
                        {INSTR, "var", pink}, {INSTR, "error", project}, {L1, "let", pink}, {L1, "error", project},
                        {L1, "404", purple}, {L1, R"("Not Found")", red}, {SUCCESS, "print", blue}, {SUCCESS, "tuple", blue},
                        {SUCCESS, "404", purple}, {SUCCESS, R"("Not Found")", red}, {ERROR, "print()", comment},
                        {ERROR, "print(error)", comment}, {ERROR, "error", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(error)", R"((404, "Not Found"))", R"(print shows the whole tuple: both of its values, 404 and "Not Found", between parentheses.)"},
                        {"print( error )", R"((404, "Not Found"))", R"(print shows the whole tuple: both of its values, 404 and "Not Found", between parentheses.)"}},
        .video       = "zRxlKA3_MGt",
    });

    addLesson(chapter, {
        .id = "CH11L2", .number = 2, .title = "Unamed tuples",
        .instruction = "You can read the values of an unnamed tuple by their position, starting at 0: myPoint.0 is the first value and myPoint.1 the second. Both values here are Double numbers, 2.0 and 3.0. In line 2, print the second value of myPoint.",
        .code = R"(let myPoint = (2.0, 3.0)
«print(myPoint.1)»)",
        .accepted    = {"print( myPoint.1 )"},
        .hint        = {"Stuck?", "Break it down. \n 1. Call the print function: print() \n 2. The second value has index 1: myPoint.1 \n 3. Together: print(myPoint.1)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 2, print the second value of myPoint.", comment}, {INSTR, "myPoint.0", project},
                        {INSTR, "myPoint.1", project}, {INSTR, "tuple", blue},
                        {INSTR, "0", purple}, {INSTR, "Double", blue}, {INSTR, "2.0", purple}, {L1, "let", pink},
                        {L1, "myPoint", project}, {L1, "2.0", purple}, {L1, "3.0", purple}, {INSTR, "3.0", purple},
                        {SUCCESS, "0", purple}, {SUCCESS, "1", purple}, {ERROR, "myPoint.1", comment}, {ERROR, "print()", comment},
                        {ERROR, "print(myPoint.1)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(myPoint.1)", "3.0", "Counting starts at 0, so index 1 is the second value."},
                        {"print( myPoint.1 )", "3.0", "Counting starts at 0, so index 1 is the second value."}},
        .video       = "34LXi8cqeTX",
    });

    addLesson(chapter, {
        .id = "CH11L3", .number = 3, .title = "Accessing named tuples",
        .instruction = "The values of a tuple can have names. Then you can read them by name instead of by position, which makes your code much clearer. Here myPoint names its values x and y, so myPoint.x is 2.0 and myPoint.y is 3.0. In line 2, print the x or the y value of myPoint.",
        .code = R"(let myPoint = (x: 2.0, y: 3.0)
«print(myPoint.y)»)",
        .accepted    = {"print(myPoint.x)"},
        .hint        = {"Stuck?", "Break it down. \n 1. Call the print function: print() \n 2. Name the tuple value inside the parentheses: print(myPoint.x) or print(myPoint.y)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 2, print the x or the y value of myPoint.", comment},
                        {INSTR, "tuple", blue}, {INSTR, "myPoint", project},
                        {INSTR, "myPoint.x", project}, {INSTR, "myPoint.y", project},
                        {INSTR, "2.0", purple}, {INSTR, "3.0", purple}, {SUCCESS, "myPoint.x", project}, {L1, "let", pink},
                        {L1, "2.0", purple}, {L1, "3.0", purple}, {L1, "myPoint", project}, {L1, "x", project},
                        {L1, " y", project}, {ERROR, "print(myPoint.y)", comment}, {ERROR, "myPoint.x", comment},
                        {ERROR, "myPoint.y", comment}, {ERROR, "print()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(myPoint.x)", "2.0", "Named tuple values read like properties: myPoint.x."},
                        {"print(myPoint.y)", "3.0", "Named tuple values read like properties: myPoint.x."}},
        .video       = "qSBetb8J3oI",
    });

    addLesson(chapter, {
        .id = "CH11L4", .number = 4, .title = "Switching on tuples",
        .instruction = "A switch can test every value of a tuple at once. The underscore _ is a wildcard that matches any value. Here the y value comes first. In line 5, add a case that matches every point whose x value is 0.",
        .code = R"(let point = (y: 4, x: 0)
switch point {
case (0,0): print("At the origin")
case (0,_): print("On x-axis")
«case (_,0)»: print("On y-axis")
default: print("Somewhere else")
})",
        .accepted    = {"case (_, 0)", "case ( _, 0)"},
        .hint        = {"Stuck?", "Break it down. \n 1. Type case followed by a tuple in parentheses \n 2. Use _ for the y value and 0 for the x value: case (_,0)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", "_", ",", ")"}},
        .colors      = {{INSTR, "In line 5, add a case that matches every point whose x value is 0.", comment},
                        {INSTR, "switch", pink}, {INSTR, "_", comment},
                        {INSTR, "case", pink}, {SUCCESS, "0", purple}, {L1, "let", pink},
                        {L1, "point", project}, {L1, "y", project}, {L1, "4", purple}, {L1, "x", project}, {L1, "0", purple},
                        {L2, "switch", pink}, {L2, "point", project}, {L3, "case", pink}, {L3, "0", purple},
                        {L3, "print", blue}, {L3, R"("At the origin")", red}, {L4, "case", pink}, {L4, "0", purple},
                        {L4, "print", blue}, {L4, R"("On x-axis")", red}, {L5, "print", blue}, {L5, R"("On y-axis")", red},
                        {L6, "default", pink}, {L6, "print", blue}, {L6, R"("Somewhere else")", red},
                        {ERROR, "case (_,0)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case (_,0)", "On y-axis", "The wildcard ignored the y value and 0 matched the x value."},
                        {"case (_, 0)", "On y-axis", "The wildcard ignored the y value and 0 matched the x value."},
                        {"case ( _, 0)", "On y-axis", "The wildcard ignored the y value and 0 matched the x value."}},
        .video       = "BvbwgKxK0Rh",
    });

    addLesson(chapter, {
        .id = "CH11L5", .number = 5, .title = "Switching on tuples advanced",
        .instruction = "Cases on tuples can bind values with let and test them with where. Every switch must still be exhaustive. In line 6, add a default case that does nothing.",
        .code = R"(let weather = ("sunny", 25)
switch weather {
case ("rainy", _): print("Take an umbrella")
case (_, let temp) where temp > 20:
   print("Tip: wear sunscreen")
«default: break»
})",
        .accepted    = {"default:break"},
        .hint        = {"Stuck?", "Break it down. \n 1. Type default followed by a colon \n 2. Add break to do nothing: default: break"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 6, add a default case that does nothing.", comment}, {INSTR, "let", pink},
                        {INSTR, "where", pink},
                        {INSTR, "switch", pink}, {INSTR, "default", pink}, {SUCCESS, "25", purple},
                        {L1, "let", pink}, {L1, "weather", project}, {L1, R"("sunny")", red}, {L1, "25", purple},
                        {L2, "switch", pink}, {L2, "weather", project}, {L3, "case", pink}, {L3, R"("rainy")", red},
                        {L3, "_", project}, {L3, "print", blue}, {L3, R"("Take an umbrella")", red}, {L4, "case", pink},
                        {L4, "_", project}, {L4, "let", pink}, {L4, "temp", project}, {L4, "where", pink}, {L4, "20", purple},
                        {L5, "print", blue}, {L5, R"("Tip: wear sunscreen")", red}, {ERROR, "default: break", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"default: break", "Tip: wear sunscreen", "It is sunny and 25 is above 20, so the second case ran."},
                        {"default:break", "Tip: wear sunscreen", "It is sunny and 25 is above 20, so the second case ran."}},
        .video       = "ewm_2ERffLm",
    });

    addLesson(chapter, {
        .id = "CH11L6", .number = 6, .title = "Returning tuples",
        .instruction = "A function can return several values at once by returning a tuple. Name the values in the return type and the caller can read them by name. In line 3, complete the return type: a tuple of avg and sum, both Int.",
        .code = R"(let numbers = [0,10,23]
func keyStats(data: [Int]) ->
   «(avg: Int, sum: Int)» {
   var sum = 0
   for number in data {
       sum += number
   }
   let avg = sum / data.count
   return (avg, sum) }
print(keyStats(data: numbers)))",
        .accepted    = {"(avg:Int, sum:Int)", "(avg:Int,sum:Int)"},
        .hint        = {"Stuck?", "Break it down. \n 1. A tuple type goes between parentheses: () \n 2. Name the first value: avg: Int \n 3. Add the second value after a comma: sum: Int \n 4. All together: (avg: Int, sum: Int)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ":", ",", ")"}},
        .colors      = {{INSTR, "In line 3, complete the return type: a tuple of avg and sum, both Int.", comment},
                        {L1, "let", pink}, {L1, "numbers", project}, {L1, "0", purple}, {L1, "10", purple}, {L1, "23", purple},
                        {L2, "func", pink}, {L2, "Int", blue}, {L2, "keyStats", project}, {L2, "data", project},
                        {L4, "var", pink}, {L4, "sum", project}, {L4, "0", purple}, {L5, "for", pink}, {L5, "number", project},
                        {L5, "in", pink}, {L5, "data", project}, {L6, "sum", project}, {L8, "let", pink}, {L8, "count", blue},
                        {L9, "return", pink}, {L10, "keyStats", project}, {L10, "print", blue},
                        {ERROR, "(avg: Int, sum: Int)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"(", "(avg: 11, sum: 33)", "keyStats takes an array of Int and returns a named tuple with the average and the sum of its numbers."}},
        .video       = "-ppvJ8ah-7R",
    });

    addLesson(chapter, {
        .id = "CH11L7", .number = 7, .title = "Passing tuples into functions",
        .instruction = "Tuples can be passed into functions like any other value. The parameter's type is the tuple type. In line 6, call greet with myName.",
        .code = R"(let myName = (first: "Lena", last: "Marsh")
func greet(name: (first: String, last: String)) {
   print("Hello \(name.first) \(name.last)!")
}
// Pass the tuple to greet
«greet(name: myName)»)",
        .accepted    = {"greet(name:myName)"},
        .hint        = {"Stuck?", "Break it down. \n 1. Call the function: greet() \n 2. Pass myName as the name argument: greet(name: myName)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 6, call greet with myName.", comment}, {L1, "let", pink}, {L1, "myName", project},
                        {L1, "first", project}, {L1, R"("Lena")", red}, {L1, "last", project}, {L1, R"("Marsh")", red},
                        {L2, "func", pink}, {L2, "greet", project}, {L2, "name", project}, {L2, "first", project},
                        {L2, "String", blue}, {L2, "last", project}, {L3, "print", blue},
                        {L3, R"("Hello \(name.first) \(name.last)!")", red}, {L5, "// Pass the tuple to greet", comment},
                        {ERROR, "greet(name: myName)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"greet(name: myName)", "Hello Lena Marsh!", "greet read both values of the tuple by their names."},
                        {"greet(name:myName)", "Hello Lena Marsh!", "greet read both values of the tuple by their names."}},
        .video       = "gFf4oODwp0d",
    });

    addLesson(chapter, {
        .id = "CH11L8", .number = 8, .title = "Dictionaries and tuples",
        .instruction = "Looping over a dictionary gives you each key and value as a tuple, which you can split into two names right in the for statement. In line 4, loop over users, naming the key name and the value age.",
        .code = R"~(let users = ["Tom": 34, "Ivy": 41, "Sam": 27]
var oldestName = ""
var oldestAge = 0
«for (name, age) in users» {
   if age > oldestAge {
       oldestAge = age
       oldestName = name
   }
}
print("\(oldestName) is the oldest at \(oldestAge)"))~",
        .accepted    = {"for (name,age) in users"},
        .hint        = {"Stuck?", "Break it down. \n 1. Start a for-in loop over users \n 2. Name the tuple values: (name, age) \n 3. Together: for (name, age) in users"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ",", ")"}},
        .colors      = {{INSTR, "In line 4, loop over users, naming the key name and the value age.", comment},
                        {INSTR, "for", pink}, {INSTR, "tuple", blue}, {INSTR, "age", project}, {L1, "let", pink},
                        {L1, "users", project}, {L1, R"("Tom")", red}, {L1, "34", purple}, {L1, R"("Ivy")", red},
                        {L1, "41", purple}, {L1, R"("Sam")", red}, {L1, "27", purple}, {L5, "age", project},
                        {SUCCESS, "name", project}, {SUCCESS, "age", project}, {ERROR, "(name, age)", comment},
                        {L2, "var", pink}, {L2, "oldestName", project}, {L2, R"("")", red}, {ERROR, "users", comment},
                        {ERROR, "for", comment}, {L3, "var", pink}, {L3, "oldestAge", project}, {L3, "0", purple},
                        {L5, "if", pink}, {L5, "oldestAge", project}, {L6, "oldestAge", project}, {L7, "oldestName", project},
                        {L10, "print", blue}, {L10, R"~("\(oldestName) is the oldest at \(oldestAge)")~", red},
                        {ERROR, "for (name, age) in users", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"for (name, age) in users", "Ivy is the oldest at 41", "Each pass of the loop handed one key and value to name and age."},
                        {"for (name,age) in users", "Ivy is the oldest at 41", "Each pass of the loop handed one key and value to name and age."}},
        .video       = "T-2C80t9tDt",
    });

    addLesson(chapter, {
        .id = "CH11L9", .number = 9, .title = "Arrays and tuples",
        .instruction = "enumerated() pairs every element of an array with its index, and the for loop can take each pair apart as a tuple. In line 3, loop over the index and name of every runner.",
        .code = R"~(let list = ["Ann", "Bo", "Cy"]
func printPositions() {
   «for (index, name) in»list.enumerated() {
       let position = index + 1
       print("\(name) finished number \(position)")
   }
}
// One line per runner,
// the last one is Cy's
printPositions())~",
        .accepted    = {"for (index,name) in"},
        .hint        = {"Stuck?", "Break it down. \n 1. Start a for loop: for \n 2. Name both values of the pair: (index, name) \n 3. Finish with in: for (index, name) in"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ",", ")"}},
        .colors      = {{INSTR, "In line 3, loop over the index and name of every runner.", comment},
                        {INSTR, "enumerated()", blue},
                        {INSTR, "for", pink}, {INSTR, "tuple", blue}, {L1, "let", pink}, {L1, "list", project},
                        {L1, R"("Ann")", red}, {L1, R"("Bo")", red}, {L1, R"("Cy")", red}, {SUCCESS, "0", purple},
                        {SUCCESS, "1", purple}, {L2, "func", pink}, {L2, "printPositions", project}, {L3, "list", project},
                        {L3, "enumerated", blue}, {L4, "let", pink}, {L4, "position", project}, {L4, "index", blue},
                        {L4, "1", purple}, {L5, "print", blue}, {L5, R"~("\(name) finished number \(position)")~", red},
                        {L8, "// One line per runner,", comment}, {L9, "// the last one is Cy's", comment},
                        {L10, "printPositions", project}, {ERROR, "for (index, name) in", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"for (index, name) in", "Ann finished number 1\nBo finished number 2\nCy finished number 3", "Indexes start at 0, which is why the code adds 1."},
                        {"for (index,name) in", "Ann finished number 1\nBo finished number 2\nCy finished number 3", "Indexes start at 0, which is why the code adds 1."}},
        .video       = "92juHtc0A9F",
    });

    addLesson(chapter, {
        .id = "CH11L10", .number = 10, .title = "Challenge 1",
        .instruction = "Let's write a divide function that returns both the quotient and the remainder. In line 2, write the return type: a tuple named quotient and remainder, both Int.",
        .code = R"(func divide(a:Int, by: Int) ->
   «(quotient: Int, remainder: Int)» {)",
        .accepted    = {"(quotient:Int, remainder:Int)", "(quotient:Int,remainder:Int)", "(quotient: Int,remainder: Int)"},
        .success     = "Now let's write the body of divide.",
        .hint        = {"Stuck?", "Break it down. \n 1. The return type is a tuple of two Int: (Int, Int) \n 2. Name its values: (quotient: Int, remainder: Int)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ":", ",", ")"}},
        .colors      = {{INSTR, "In line 2, write the return type: a tuple named quotient and remainder, both Int.", comment},
                        {L1, "func", pink}, {L1, "Int", blue}, {L1, " Int", blue}, {L1, "divide", project}, {L1, "a", project},
                        {L1, "by", project}, {ERROR, "(Int, Int)", comment}, {ERROR, "quotient: Int, remainder: Int", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "gTT0QCD-68X",
    });

    addLesson(chapter, {
        .id = "CH11L11", .number = 11, .title = "Challenge 2",
        .instruction = "Now return the two values. / divides whole numbers and % gives the remainder. In line 3, return a tuple of a divided by by and the remainder of a divided by by.",
        .code = R"(func divide(a:Int, by: Int) ->
   (quotient: Int, remainder: Int) {
       «return (a / by, a % by)»
   })",
        .accepted    = {"return (a/by, a%by)", "return (a / by,a % by)", "return (a/by,a%by)"},
        .success     = "Great! Time to call your function.",
        .hint        = {"Stuck?", "Break it down. \n 1. Type return followed by a tuple: return ( , ) \n 2. The quotient first: a / by \n 3. The remainder second: a % by \n 4. Together: return (a / by, a % by)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", "/", ",", "%", ")"}},
        .colors      = {{INSTR, "In line 3, return a tuple of a divided by by and the remainder of a divided by by.", comment},
                        {INSTR, "return", pink},
                        {L1, "func", pink}, {L1, "divide", project}, {L1, "a", project}, {L1, "Int", blue},
                        {L1, "by", project}, {L2, "quotient", project}, {L2, "Int", blue}, {L2, "remainder", project},
                        {ERROR, "return (a / by, a % by)", comment}, {INSTR, "%", pink}, {ERROR, "a % by", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "VgwzeC_VzBv",
    });

    addLesson(chapter, {
        .id = "CH11L12", .number = 12, .title = "Challenge 3",
        .instruction = "Call divide and keep the result. In line 5, divide 6 by 3.",
        .code = R"(func divide(a:Int, by: Int) ->
   (quotient: Int, remainder: Int) {
       return (a / by, a % by)
   }
let result = «divide(a: 6, by: 3)»
print(result))",
        .accepted    = {"divide(a:6,by: 3)", "divide(a:6, by:3)", "divide(a:6,by:3)"},
        .success     = "One more challenge to go!",
        .hint        = {"Stuck?", "Break it down. \n 1. Call divide: divide() \n 2. Pass 6 as a and 3 as by: divide(a: 6, by: 3)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ",", ":", ")"}},
        .colors      = {{INSTR, "In line 5, divide 6 by 3.", comment}, {L1, "func", pink}, {L1, "divide", project},
                        {L1, "a", project}, {L1, "Int", blue}, {L1, "by", project}, {L2, "quotient", project},
                        {L2, "Int", blue}, {L2, "remainder", project}, {L3, "return", pink}, {L3, "a", project},
                        {L3, "by", project}, {L5, "let", pink}, {L5, "result", project}, {L6, "print", blue},
                        {ERROR, "divide(a: 6, by: 3)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"divide", "(quotient: 2, remainder: 0)", "The named tuple prints with its names: 6 divided by 3 is 2, remainder 0."}},
        .video       = "dNi7mLNC59V",
    });

    addLesson(chapter, {
        .id = "CH11L13", .number = 13, .title = "Challenge 4",
        .instruction = "A speed camera checks cars given as tuples of a model and a speed. In line 3, add a case that binds the speed to s and matches when s is above 120.",
        .code = R"(let car = (model: "Roadster", speed: 130)
switch car {
«case let (_, s) where s > 120:»
   print("Speeding")
default:
   print("Within the limit")
}
// Tuples and switch make a great team)",
        .accepted    = {"case let (_,s) where s > 120:", "case let (_,s) where s>120:", "case let(_,s) where s>120:"},
        .success     = "You have finished the tuples chapter!",
        .hint        = {"Stuck?", "Break it down. \n 1. Ignore the model with _ and bind the speed to s with let: let (_, s) \n 2. Add the condition: where s > 120 \n 3. Put it together: case let (_, s) where s > 120:"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", "_", ",", ">", ":", ")"}},
        .colors      = {{INSTR, "In line 3, add a case that binds the speed to s and matches when s is above 120.", comment},
                        {INSTR, "tuple", blue}, {L1, "let", pink}, {L1, "car", project},
                        {L1, "model", project}, {L1, R"("Roadster")", red}, {L1, "speed", project}, {L1, "130", purple},
                        {SUCCESS, "130", purple}, {SUCCESS, "120", purple}, {ERROR, "_", comment},
                        {ERROR, "where s > 120", comment},
                        {L2, "switch", pink}, {L2, "car", project}, {L4, "print", blue}, {L4, R"("Speeding")", red},
                        {L5, "default", pink}, {L6, "print", blue}, {L6, R"("Within the limit")", red},
                        {L8, "// Tuples and switch make a great team", comment},
                        {ERROR, "case let (_, s) where s > 120:", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"case", "Speeding", "130 is above 120: the driver gets a ticket."}},
        .video       = "SmufITgwmSh",
    });
}
// clang-format on
