// Swift course, chapter 22: generic functions, inout parameters of a placeholder type, a generic
// struct, its initialisation and extension, and type constraints.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

namespace {

const LessonText kListStruct = R"(struct List<T> {
   var items: [T] = []
   mutating func addItem(_ item: T) {
       items.append(item)
   }
}
)";

} // namespace

// clang-format off
void buildSwiftChapter22(Chapter& chapter) {
    const LessonText printAllSuccess = "With Generics we can create functions that can handle various types of data (as long as the parameter type is the same as the < Generic > type).";
    addLesson(chapter, {
        .id = "CH22L1", .number = 1, .title = "Generic Print Function",
        .instruction = "The goal of Generics is to have reusable code.  With generics, you can have a function that can accept any type of input.  In line 8 call the printAll function to print the array of integers or strings.",
        .code = R"(let myInts = [3,5,8]
let myStrings = ["Ravo","Tesmo","Quila"]
func printAll<Generic>(items: [ Generic ]) {
   for item in items {
       print(item)
   }
}
«printAll(items: myInts)»)",
        .accepted    = {kShortcutAnswer, "printAll(items:myInts)", "printAll(items: myInts)", "printAll(items: myStrings)", "printAll(items:myStrings)"},
        .success     = printAllSuccess,
        .hint        = {"Stuck? Break it down!", "1 Call the printAll function \n 2. Add the parameter name \n 3 Add the name of the array to print \n printAll(items: myInts) \n printAll(items: myStrings)"},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "Generics", project}, {INSTR, "In line 6, check if player is a Human.", comment}, {INSTR, "GameLevel", project}, {INSTR, "BossLevel", project}, {L1, "let", pink}, {L1, "3", purple}, {L1, "5", purple}, {L1, "8", purple}, {L2, "let", pink}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "Int", blue}, {L3, "struct", blue}, {L3, " Generic ", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "for", pink}, {L4, "in", pink}, {L4, "Species", project}, {L4, "Human", project}, {L4, "2", purple}, {L5, "var", pink}, {L5, "Human", project}, {L5, "print", blue}, {SUCCESS, " Generic ", project}, {SUCCESS, "BossLevel", comment}, {SUCCESS, "summonBoss()", comment}, {ERROR, "printAll(items: myInts)", comment}, {ERROR, "printAll(items: myStrings)", comment}, {ERROR, "Shape", project}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"printAll(items:myInts)", "3\n5\n8", printAllSuccess},
                        {"printAll(items: myInts)", "3\n5\n8", printAllSuccess},
                        {"printAll(items:myStrings)", "Ravo\nTesmo\nQuila", printAllSuccess},
                        {"printAll(items: myStrings)", "Ravo\nTesmo\nQuila", printAllSuccess},
                        {kShortcutAnswer, "3\n5\n8", printAllSuccess}},
        .sameMessage = false,
        .video       = "zF1DmuhnYUG",
    });

    addLesson(chapter, {
        .id = "CH22L2", .number = 2, .title = "Print Type T",
        .instruction = "By convention a placeholder type is called T instead of Generic. In line 3, create a printAll function that accepts a Generic type called <T> with a parameter called items that is an array of the same type.",
        .code = R"(let myInts = [3,5,8]
let myStrings = ["Ravo","Tesmo","Quila"]
«func printAll<T>(items: [T])»{
   for item in items {
       print(item)
   }
}
printAll(items: myInts))",
        .accepted    = {"func printAll <T>(items: [T])", "func printAll <T> (items: [T])", "func printAll <T> (items:[T])", "func printAll<T>(items:[T])", "func printAll<T>( items:[T] )", kShortcutAnswer},
        .success     = "items must hold values of the placeholder type, whatever T turns out to be. For one single value the header would read func printAll<T>(items: T)",
        .hint        = {"Stuck? Break it down!", "1. Name the function: func printAll \n 2. Add the placeholder type <T> \n 3. Add the parameter items, an array of T: (items: [T]) \n func printAll<T>(items: [T])"},
        .placeholder = "Tap to answer",
        .words       = {{"<", "(", ":", ")", ">"}},
        .colors      = {{INSTR, "Generic", blue}, {INSTR, "T", blue}, {INSTR, "In line 3, create a printAll function that accepts a Generic type called <T> with a parameter called items that is an array of the same type.", comment}, {INSTR, "GameLevel", project}, {INSTR, "BossLevel", project}, {L1, "let", pink}, {L1, "3", purple}, {L1, "5", purple}, {L1, "8", purple}, {L2, "let", pink}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "Int", blue}, {L3, "struct", blue}, {L3, " Generic ", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "for", pink}, {L4, "in", pink}, {L4, "Species", project}, {L4, "Human", project}, {L4, "2", purple}, {L8, "printAll", project}, {L8, "myInts", project}, {L5, "print", blue}, {SUCCESS, " Generic ", project}, {SUCCESS, "BossLevel", comment}, {SUCCESS, "func printAll<T>(items: T)", comment}, {ERROR, "func printAll<T>(items: [T])", comment}, {ERROR, "printAll(items: myStrings)", comment}, {ERROR, "Shape", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "3\n5\n8",
        .sameMessage = true,
        .video       = "fRsabHGHIIv",
    });

    addLesson(chapter, {
        .id = "CH22L3", .number = 3, .title = "Placeholder Type",
        .instruction = "Generic and T are placeholder type names, unlike actual type names such as String or Float. In line 7, call the swapUsers function and swap user1 and user2.",
        .code = R"(func swapUsers<T>(_ a: inout T,
                  _ b: inout T) {
   (a, b) = (b, a)
}
var user1 = "Amy"
var user2 = "Bob"
«swapUsers(&user1, &user2)»
print(user1))",
        .accepted    = {"swapUsers(&user1,&user2)", "swapUsers(&user2,&user1)", "swapUsers(&user2, &user1)", kShortcutAnswer},
        .success     = "Both parameters are of type T, so both users must be of one type. The standard library already has a swap function for this.",
        .hint        = {"Stuck? Break it down!", "1. Call the swapUsers function \n 2. Pass the two users as inout arguments \n 3. inout arguments take the & sign \n 4. _ skips the parameter names \n swapUsers(&user1, &user2)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "&", ",", ")"}},
        .colors      = {{INSTR, "Generic", blue}, {INSTR, "T", blue}, {INSTR, "String", blue}, {INSTR, "Float", blue}, {INSTR, "In line 7, call the swapUsers function and swap user1 and user2.", comment}, {INSTR, "GameLevel", project}, {INSTR, "BossLevel", project}, {L1, "func", pink}, {L1, "_", pink}, {L1, "inout", pink}, {L1, "T", project}, {L2, "func", pink}, {L2, "_", pink}, {L2, "inout", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "Int", blue}, {L3, "struct", blue}, {L3, " Generic ", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "for", pink}, {L4, "in", pink}, {L4, "Species", project}, {L4, "Human", project}, {L4, "2", purple}, {L5, "var", pink}, {L5, R"("Amy")", red}, {L6, "var", pink}, {L6, R"("Bob")", red}, {L8, "print", blue}, {L8, "user1", project}, {L5, "print", blue}, {SUCCESS, "T", blue}, {SUCCESS, "swap", blue}, {SUCCESS, "func printAll<T>(items: T)", comment}, {ERROR, "swapUsers(&user1, &user2)", comment}, {ERROR, "inout", pink}, {ERROR, "_", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Bob",
        .sameMessage = true,
        .video       = "7DsavqM3plH",
    });

    addLesson(chapter, {
        .id = "CH22L4", .number = 4, .title = "Generic Struct",
        .instruction = "A struct or class can have a placeholder type T as well: List<T> can hold items of any one type. In line 3, add a property called items that is of Type T and initialize it as an empty array.",
        .code = R"(// Generic struct of type <T>
struct List<T> {
   «var items: [T] = []»
   mutating func addItem(_ item: T) {
       items.append(item)
   }
})",
        .accepted    = {"var items: [T]=[]", "var items:[T]=[]", kShortcutAnswer},
        .success     = "List is now a generic struct; the next lessons use it for a shopping list.",
        .hint        = {"Stuck? Break it down!", "1. Add a property called items \n 2. Its type is a generic array: [T] \n 3. Initialize it as an empty array: [] \n var items: [T] = []"},
        .placeholder = "Tap to answer",
        .words       = {{"[", ":", "=", "]"}},
        .colors      = {{INSTR, "struct", pink}, {INSTR, "T", blue}, {INSTR, "class", pink}, {INSTR, "Float", blue}, {INSTR, "In line 3, add a property called items that is of Type T and initialize it as an empty array.", comment}, {INSTR, "GameLevel", project}, {INSTR, "BossLevel", project}, {L1, "// Generic struct of type <T>", comment}, {L1, "_", pink}, {L1, "inout", pink}, {L2, "struct", pink}, {L2, "_", pink}, {L2, "inout", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "Int", blue}, {L3, "struct", blue}, {L3, " Generic ", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "func", pink}, {L4, "mutating", pink}, {L4, "_", pink}, {L4, "T", project}, {L4, "Human", project}, {L4, "2", purple}, {L5, "items", project}, {L5, "append", blue}, {L6, "var", pink}, {L6, R"("Bob")", red}, {L8, "print", blue}, {L8, "user1", project}, {L5, "print", blue}, {SUCCESS, "T", blue}, {SUCCESS, "swap", blue}, {SUCCESS, "func printAll<T>(items: T)", comment}, {ERROR, "var items: [T] = []", comment}, {ERROR, "inout", pink}, {ERROR, "_", pink}},
        .autoColor   = false,
        .printValue  = "Bob",
        .sameMessage = true,
        .video       = "4fvJrtjB52X",
    });

    addLesson(chapter, {
        .id = "CH22L5", .number = 5, .title = "Implicit Initilization",
        .instruction = R"(Implicit initialization lets Swift infer the type from the values, as in line 8. In line 9, please add "bananas" to the shoppingList.)",
        .code = kListStruct + R"(// Implicit Initialization
var shoppingList = List(items: ["apples"])
«shoppingList.addItem("bananas")»
print(shoppingList))",
        .accepted    = {R"(shoppingList.addItem( "bananas" ))", kShortcutAnswer},
        .success     = R"(shoppingList is a List struct of type <String> now, holding "apples" and "bananas".)",
        .hint        = {"Stuck? Break it down!", "1. Use dot notation to reach addItem on shoppingList \n 2. Leave out the parameter name \n 3. Add \"bananas\" \n shoppingList.addItem(\"bananas\")"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ".", R"(")", ")"}},
        .colors      = {{INSTR, R"(In line 9, please add "bananas" to the shoppingList.)", comment}, {INSTR, "GameLevel", project}, {INSTR, "BossLevel", project}, {L1, "// Generic struct of type <T>", comment}, {L1, "_", pink}, {L1, "inout", pink}, {L1, "struct", pink}, {L1, "_", pink}, {L2, "inout", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "mutating", pink}, {L3, "_", pink}, {L3, "T", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "items", project}, {L4, "append", blue}, {L4, "_", pink}, {L4, "T", project}, {L4, "Human", project}, {L4, "2", purple}, {L7, "// Implicit Initialization", comment}, {L8, " List", project}, {L8, "var", pink}, {L8, R"("apples")", red}, {L10, "print", blue}, {L10, "shoppingList", project}, {SUCCESS, "struct", pink}, {SUCCESS, "String", blue}, {SUCCESS, "shoppingList", project}, {ERROR, R"(shoppingList.addItem("bananas"))", comment}, {ERROR, "String", blue}, {ERROR, "_", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = R"(List<String>(items: ["apples", "bananas"]))",
        .sameMessage = true,
        .video       = "bqB4nowQN0W",
    });

    addLesson(chapter, {
        .id = "CH22L6", .number = 6, .title = "Explicit Initilization",
        .instruction = "Explicit initialization names the type in angle brackets, so the list can start out empty. In line 8, create an instance of the List struct called productIds that is of type Int.",
        .code = kListStruct + R"(// Explicit Initialization
«var productIds = List<Int>()»
productIds.addItem(1234)
print(productIds))",
        .accepted    = {"var productIds=List<Int>()", kShortcutAnswer},
        .success     = "productIds is a List struct of type <Int> now, holding one product id, 1234.",
        .hint        = {"Stuck? Break it down!", "1. Create a variable called productIds \n 2. Initialize it as a List \n 3. Give it the type <Int> \n 4. Call the default initializer: () \n var productIds = List<Int>()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", "<", "=", ">", ")"}},
        .colors      = {{INSTR, "In line 8, create an instance of the List struct called productIds that is of type Int.", comment}, {INSTR, "GameLevel", project}, {INSTR, "BossLevel", project}, {L1, "// Generic struct of type <T>", comment}, {L1, "_", pink}, {L1, "inout", pink}, {L1, "struct", pink}, {L1, "_", pink}, {L2, "inout", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "mutating", pink}, {L3, "_", pink}, {L3, "T", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "items", project}, {L4, "append", blue}, {L4, "_", pink}, {L4, "T", project}, {L4, "Human", project}, {L4, "2", purple}, {L7, "// Explicit Initialization", comment}, {L9, "productIds", project}, {L9, "addItem", pink}, {L9, "1234", purple}, {L10, "print", blue}, {L10, "productIds", project}, {SUCCESS, "struct", pink}, {SUCCESS, "Int", blue}, {SUCCESS, "productIds", project}, {SUCCESS, "1234", purple}, {ERROR, "var productIds = List<Int>()", comment}, {ERROR, "String", blue}, {ERROR, "_", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "List<Int>(items: [1234])",
        .sameMessage = true,
        .video       = "VkvEoOMXIBo",
    });

    addLesson(chapter, {
        .id = "CH22L7", .number = 7, .title = "Generic Extension",
        .instruction = "You can also add an extension for a Generic Type. In line 4, start to extend the List struct.",
        .code = R"(struct List<T> {
   var items: [T] = []
}
«extension List»{)",
        .padTo       = 10,
        .accepted    = {kShortcutAnswer},
        .success     = "Please note that when you extend a generic type, you don\u2019t provide a type parameter.",
        .hint        = {"Stuck? Break it down!", "1. Write extension \n 2. Add name of struct you are extending \n 3. Do NOT include the Generic type in the extension \n extension List \n NOT \n extension List<T>"},
        .placeholder = "Tap to answer",
        .colors      = {{INSTR, "In line 4, start to extend the List struct.", comment}, {INSTR, "extension", pink}, {INSTR, "BossLevel", project}, {L1, "// Generic struct of type <T>", comment}, {L1, "_", pink}, {L1, "inout", pink}, {L1, "struct", pink}, {L1, "_", pink}, {L2, "inout", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "mutating", pink}, {L3, "_", pink}, {L3, "T", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "items", project}, {L4, "append", blue}, {L4, "_", pink}, {L4, "T", project}, {L4, "Human", project}, {L4, "2", purple}, {L7, "// Explicit Initialization", comment}, {L9, "productIds", project}, {L9, "addItem", pink}, {L9, "1234", purple}, {L10, "print", blue}, {L10, "productIds", project}, {SUCCESS, "struct", pink}, {SUCCESS, "Int", blue}, {SUCCESS, "productIds", project}, {SUCCESS, "1234", purple}, {ERROR, "extension List", comment}, {ERROR, "extension List<T>", red}, {ERROR, "_", pink}},
        .autoColor   = false,
        .printValue  = "List<Int>(items: [1234])",
        .sameMessage = true,
        .video       = "yanKhvd7gqE",
    });

    addLesson(chapter, {
        .id = "CH22L8", .number = 8, .title = "Complete Extension",
        .instruction = "Now give List a function of its own: count prints how many items the list holds. In line 5, add a count function that takes no parameters.",
        .code = R"~(struct List<T> {
   var items: [T] = []
}
extension List {
«func count()»{
       print("Found \(items.count) items")
   }
}
var numbers = List.init(items: [1,2,3])
numbers.count())~",
        .accepted    = {kShortcutAnswer},
        .success     = "The custom count function of the List struct printed that numbers holds 3 items.",
        .hint        = {"Stuck? Break it down!", "1. Write func \n 2. Add the name of the function: count \n 3. Add () since it takes no parameters \n func count()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 5, add a count function that takes no parameters.", comment}, {INSTR, "extension", pink}, {INSTR, "BossLevel", project}, {L1, "// Generic struct of type <T>", comment}, {L1, "_", pink}, {L1, "inout", pink}, {L1, "struct", pink}, {L1, "_", pink}, {L2, "inout", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "mutating", pink}, {L3, "_", pink}, {L3, "T", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "List", project}, {L4, "append", blue}, {L4, "extension", pink}, {L6, "print", blue}, {L6, R"("Found)", red}, {L6, R"(items")", red}, {L6, "items", project}, {L6, "count", blue}, {L9, "List", project}, {L9, "var", pink}, {L9, "init", pink}, {L9, "1", purple}, {L9, "2", purple}, {L9, "3", purple}, {L10, "numbers", project}, {L10, "count", blue}, {SUCCESS, "struct", pink}, {SUCCESS, "count", project}, {SUCCESS, "numbers", project}, {ERROR, "func count()", comment}, {ERROR, "func count()<T>", red}, {ERROR, "_", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Found 3 items",
        .sameMessage = true,
        .video       = "gzGfFGxR-6T",
    });

    const LessonText oneIsOne = "Yes, 1 == 1 is true.";
    const LessonText billIsNotIvy = R"("Bill" and "Ivy" are not the same so false is the expected result.)";
    addLesson(chapter, {
        .id = "CH22L9", .number = 9, .title = "Type Constraints",
        .instruction = R"(You can add a type constraint to a Generic function by placing a single class or protocol constraint after a type parameter's name.  In line 1, we have added an Equatable constraint to the equal function.  In line 5, call the equal function with a: set to 1 or "Bill" and b: set to 1 or "Ivy")",
        .code = R"(func equal<T: Equatable>(a: T, b: T) -> Bool {
   print(a == b)
   return a == b
}
«equal(a: 1, b: 1)»)",
        .padTo       = 10,
        .accepted    = {R"(equal(a: "Bill", b: "Ivy"))", R"(equal(a:"Bill", b:"Ivy"))", R"(equal(a:"Bill",b:"Ivy"))", "equal(a:1, b:1)", "equal(a: 1,b: 1)", "equal(a:1,b:1)", kShortcutAnswer},
        .hint        = {"Stuck? Break it down!", "1. Call the equal function \n 2. Set the parameters \n equal(a: 1, b: 1) \n equal(a: \"Bill\", b: \"Ivy\")"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ",", R"(")", ")"}},
        .colors      = {{INSTR, R"(In line 5, call the equal function with a: set to 1 or "Bill" and b: set to 1 or "Ivy")", comment}, {INSTR, "Equatable", blue}, {INSTR, "BossLevel", project}, {L1, "func", pink}, {L1, "Equatable", blue}, {L1, "Bool", blue}, {L1, "struct", pink}, {L2, "print", blue}, {L3, "return", pink}, {L2, "T", project}, {L2, "Int", blue}, {L2, "struct", pink}, {L2, "bool", pink}, {L2, "true", pink}, {L2, "false", pink}, {L2, "if", pink}, {L2, "var", pink}, {L2, "let", pink}, {L2, "string", blue}, {L2, R"("Ravo")", red}, {L2, R"("Tesmo")", red}, {L2, R"("Quila")", red}, {L3, "func", pink}, {L3, "mutating", pink}, {L3, "_", pink}, {L3, "T", project}, {L3, "true", pink}, {L3, "false", pink}, {L3, "if", pink}, {L3, "var", pink}, {L3, "let", pink}, {L3, "string", blue}, {L3, R"("Hi")", red}, {L3, "5", purple}, {L4, "List", project}, {L4, "append", blue}, {L4, "let", pink}, {L4, R"("Bill")", red}, {L5, R"("Ivy")", red}, {L5, "let", pink}, {L6, "equal", project}, {L6, "user1", project}, {L6, "user2", project}, {L9, "List", project}, {L9, "var", pink}, {L9, "init", pink}, {L9, "1", purple}, {L9, "2", purple}, {L9, "3", purple}, {L10, "numbers", project}, {L10, "count", blue}, {SUCCESS, "Equatable", blue}, {SUCCESS, "true", pink}, {SUCCESS, "false", pink}, {SUCCESS, R"("Bill")", red}, {SUCCESS, R"("Ivy")", red}, {ERROR, "equal(a: 1, b: 1)", comment}, {ERROR, R"(equal(a: "Bill", b: "Ivy"))", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"equal(a: 1", "true", oneIsOne}, {"equal(a:1", "true", oneIsOne},
                        {R"(equal(a:"B)", "false", billIsNotIvy}, {R"(equal(a: "B)", "false", billIsNotIvy},
                        {kShortcutAnswer, "true", oneIsOne}},
        .sameMessage = false,
        .video       = "-hazggRBLys",
    });
}
// clang-format on
