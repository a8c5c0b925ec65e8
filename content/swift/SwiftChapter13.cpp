// Swift course, chapter 13: structures, their properties, initializers and methods, and two
// four-step challenges.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter13(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH13L1", .number = 1, .title = "What is a struct?",
        .instruction = "A struct groups related values, its properties, into one new type. Each property is declared inside the braces like a variable. In line 3, add a property note of type String.",
        .code = R"(struct ToDoItem {
   var title: String
   «var note: String»
})",
        .accepted    = {"var note:String"},
        .success     = "ToDoItem now has a title and a note.",
        .hint        = {"Stuck?", "1. Declare a variable: var note \n 2. Add its type after a colon: var note: String"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 3, add a property note of type String.", comment}, {INSTR, "struct", pink},
                        {L1, "struct", pink}, {L1, "ToDoItem", project}, {L2, "var", pink}, {L2, "title", project},
                        {L2, "String", blue}, {ERROR, "var note: String", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "i1f2H3DtqLu",
    });

    addLesson(chapter, {
        .id = "CH13L2", .number = 2, .title = "Blueprints vs. instances",
        .instruction = "A struct is a blueprint; every value made from it is an instance with its own values. Read a property of an instance with a dot. In line 9, print the title or the note of firstToDoItem.",
        .code = R"(struct ToDoItem {
   var title: String
   var note: String
}
var firstToDoItem = ToDoItem(
   title: "Study Swift",
   note: "Complete chapter on structs."
)
print(firstToDoItem«.title»))",
        .accepted    = {".note"},
        .hint        = {"Stuck?", "1. Add a dot and the name of a property: .title or .note"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "!"}},
        .colors      = {{INSTR, "In line 9, print the title or the note of firstToDoItem.", comment}, {L1, "struct", pink},
                        {L2, "var", pink}, {L2, "String", blue}, {L3, "var", pink}, {L3, "String", blue}, {L5, "var", pink},
                        {L5, " ToDoItem", project}, {L6, R"("Study Swift")", red},
                        {L7, R"("Complete chapter on structs.")", red}, {L9, "print", blue}, {L9, "firstToDoItem", project},
                        {SUCCESS, "firstToDoItem", project}, {ERROR, ".title", comment}, {ERROR, ".note", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{".title", "Study Swift", "Line 5 used the memberwise initializer that every struct gets for free to make firstToDoItem."},
                        {".note", "Complete chapter on structs.", "Line 5 used the memberwise initializer that every struct gets for free to make firstToDoItem."}},
        .video       = "4qSi4Cp4se3",
    });

    addLesson(chapter, {
        .id = "CH13L3", .number = 3, .title = "Structs and properties",
        .instruction = "A property can have any type, even an enum you declared yourself. Line 6 ends with a comma, so line 7 declares one more variable. In line 7, add a property priority of type Priority.",
        .code = R"(enum Priority {
   case high, normal
}
struct ToDoItem {
   var title: String
   var note: String,
   «priority: Priority»
})",
        .accepted    = {"priority:Priority"},
        .success     = "Every ToDoItem now knows how urgent it is.",
        .hint        = {"Stuck?", "1. Write the name: priority \n 2. Add the type after a colon: priority: Priority"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 7, add a property priority of type Priority.", comment}, {L1, "enum", pink},
                        {L2, "case", pink}, {L4, "struct", pink}, {L5, "var", pink}, {L5, "String", blue}, {L6, "var", pink},
                        {L6, "String", blue}, {ERROR, "priority: Priority", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "BE9QfLKLUTf",
    });

    addLesson(chapter, {
        .id = "CH13L4", .number = 4, .title = "Initializers",
        .instruction = "An initializer, init, sets every property when an instance is made. Inside it, self is the new instance, which tells the property apart from the parameter of the same name. In line 6, set the lastName property to the lastName parameter.",
        .code = R"(struct Person {
   var firstName: String
   var lastName: String
   init(firstName: String, lastName: String) {
       self.firstName = firstName
       «self.lastName = lastName»
   }
}
let user = Person(firstName: "Jon",
                  lastName: "Smith"))",
        .accepted    = {"self.lastName=lastName"},
        .success     = "user is Jon Smith, with both properties set.",
        .hint        = {"Stuck?", "1. Name the property through self: self.lastName \n 2. Assign the parameter: self.lastName = lastName"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 6, set the lastName property to the lastName parameter.", comment},
                        {INSTR, "init", pink}, {INSTR, "self", pink}, {L1, "struct", pink}, {L1, "Person", project},
                        {L2, "var", pink}, {L2, "firstName", project}, {L2, "String", blue}, {L3, "var", pink},
                        {L3, "lastName", project}, {L3, "String", blue}, {L4, "init", pink}, {L4, "firstName", project},
                        {L4, "String", blue}, {L4, "lastName", project}, {L5, "self", pink}, {L5, "firstName", project},
                        {L9, "let", pink}, {L9, "user", project}, {L9, "Person", project}, {L9, R"("Jon")", red},
                        {L10, R"("Smith")", red}, {ERROR, "self.lastName = lastName", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "UXRDyoC_rz_",
    });

    addLesson(chapter, {
        .id = "CH13L5", .number = 5, .title = "Default values",
        .instruction = "A property can get a default value where it is declared; the initializer then does not have to set it. In line 8, print the active property of alarm1.",
        .code = R"(struct Alarm {
   var zone: String
   var active = false
   init(zone: String) {
       self.zone = zone
   }  }
let alarm1 = Alarm(zone: "basement")
«print(alarm1.active)»)",
        .accepted    = {"print( alarm1.active )"},
        .success     = "Every new Alarm starts inactive.",
        .hint        = {"Stuck?", "1. Call the print function: print() \n 2. Print the property: print(alarm1.active)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 8, print the active property of alarm1.", comment},
                        {SUCCESS, "false", pink},
                        {L1, "struct", pink}, {L1, "Alarm", project}, {L2, "var", pink}, {L2, "zone", project},
                        {L2, "String", blue}, {L3, "var", pink}, {L3, "active", project}, {L3, "false", pink},
                        {L4, "init", pink}, {L4, "zone", project}, {L4, "String", blue}, {L5, "self", pink},
                        {L5, "zone", project}, {L7, "let", pink}, {L7, "alarm1", project}, {L7, "Alarm", project},
                        {L7, "zone", project}, {L7, R"("basement")", red}, {ERROR, "print(alarm1.active)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(alarm1.active)", "false", "active was never set by the initializer, so it kept its default value false."},
                        {"print( alarm1.active )", "false", "active was never set by the initializer, so it kept its default value false."}},
        .video       = "62_koN0sZQP",
    });

    addLesson(chapter, {
        .id = "CH13L6", .number = 6, .title = "Updating properties",
        .instruction = R"(The properties of a variable instance can be changed after it is made, like any variable. In line 9, add "candy" to the items of myShoppingList.)",
        .code = R"(struct ShoppingList {
   var name: String
   var items: [String]
}
var myShoppingList = ShoppingList(
   name: "groceries",
   items: ["eggs", "ham"]
)
«myShoppingList.items.append("candy")»
print(myShoppingList.items))",
        .accepted    = {R"(myShoppingList.items += ["candy"])", R"(myShoppingList.items+=["candy"])"},
        .hint        = {"Stuck?", "1. Reach the array: myShoppingList.items \n 2. Append the string: .append(\"candy\")"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", R"(")", ".", ")"}},
        .colors      = {{INSTR, R"(In line 9, add "candy" to the items of myShoppingList.)", comment},
                        {INSTR, R"("candy")", red}, {SUCCESS, "+=", pink},
                        {L1, "struct", pink}, {L1, "ShoppingList", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L3, "var", pink}, {L3, "items", project}, {L3, "String", blue},
                        {L5, "var", pink}, {L5, "myShoppingList", project}, {L6, "name", project}, {L6, R"("groceries")", red},
                        {L7, "items", project}, {L7, R"("eggs")", red}, {L7, R"("ham")", red}, {L10, "print", blue},
                        {L10, "myShoppingList", project}, {L10, "items", project},
                        {ERROR, R"(myShoppingList.items.append("candy"))", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(myShoppingList.items.append("candy"))", R"(["eggs", "ham", "candy"])", R"(append added "candy" to the end of the items array.)"},
                        {R"(myShoppingList.items += ["candy"])", R"(["eggs", "ham", "candy"])", "+= joined a one-element array to the end of items."},
                        {R"(myShoppingList.items+=["candy"])", R"(["eggs", "ham", "candy"])", "+= joined a one-element array to the end of items."}},
        .video       = "MPHVp-kbE0k",
    });

    addLesson(chapter, {
        .id = "CH13L7", .number = 7, .title = "Immutable properties",
        .instruction = "A property declared with let can be set once, in the initializer, and never changed afterwards. That suits an id. In line 3, add a constant property customerId of type Int.",
        .code = R"(var idGenerator = 1
struct Customer {
   «let customerId: Int»
   var name: String
   init(name: String) {
       self.name = name
       customerId = idGenerator
       idGenerator += 1
   }
})",
        .accepted    = {"let customerId:Int"},
        .success     = "Each customer gets the next id, and nobody can change it later.",
        .hint        = {"Stuck?", "1. Use let for a constant: let customerId \n 2. Add the type: let customerId: Int"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 3, add a constant property customerId of type Int.", comment}, {INSTR, "let", pink},
                        {ERROR, "let customerId", comment}, {L7, "customerId", project}, {ERROR, "let", pink},
                        {L1, "var", pink}, {L1, "idGenerator", project}, {L1, "1", purple}, {L2, "struct", pink},
                        {L2, "Customer", project}, {L4, "var", pink}, {L4, "name", project}, {L4, "String", blue},
                        {L5, "init", pink}, {L5, "name", project}, {L5, "String", blue}, {L6, "self", pink},
                        {L6, "name", project}, {L7, "idGenerator", project}, {L8, "idGenerator", project}, {L8, "1", purple},
                        {ERROR, "let customerId: Int", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "tG5JY7MZhDX",
    });

    addLesson(chapter, {
        .id = "CH13L8", .number = 8, .title = "Optional properties",
        .instruction = "An optional property may hold no value; it starts as nil, so the initializer can leave it out. In line 3, add an optional String property note.",
        .code = R"(struct ToDoItem {
   var title: String
   «var note: String?»
   init(title: String) {
       self.title = title
   }
}
let newToDoItem = ToDoItem(title: "Exercise")
if let note = newToDoItem.note {
   print(note) })",
        .accepted    = {"var note:String?"},
        .success     = "note is nil until somebody writes one.",
        .hint        = {"Stuck?", "1. Declare the property: var note: String \n 2. Make it optional with a question mark: String? \n 3. Together: var note: String?"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "?"}},
        .colors      = {{INSTR, "In line 3, add an optional String property note.", comment}, {INSTR, "nil", pink},
                        {L1, "struct", pink}, {L1, "ToDoItem", project}, {L2, "var", pink}, {L2, "title", project},
                        {L2, "String", blue}, {L4, "init", pink}, {L4, "title", project}, {L4, "String", blue},
                        {L5, "self", pink}, {L5, "title", project}, {L8, "let", pink}, {L8, "newToDoItem", project},
                        {L8, "title", project}, {L8, R"("Exercise")", red}, {L9, "if", pink}, {L9, "let", pink},
                        {L9, "note", project}, {L9, "newToDoItem", project}, {L10, "print", blue},
                        {ERROR, "var note: String?", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "F_cEixZRqmY",
    });

    addLesson(chapter, {
        .id = "CH13L9", .number = 9, .title = "Multiple initializers",
        .instruction = "A struct can offer several initializers, each taking different parameters. BankAccount can be opened with a name alone or with a name and a first deposit. In line 9, create a constant account for Steve. Use either initializer. Add a deposit of 100 if you like.",
        .code = R"(struct BankAccount {
   var name: String
   var balance: Float = 0
   init(name: String) {
       self.name = name }
   init(name: String, deposit: Float) {
       self.name = name
       self.balance = deposit } }
«let account = BankAccount(name: "Steve")»)",
        .accepted    = {R"(let account = BankAccount(name:"Steve"))", R"(let account=BankAccount(name:"Steve"))", R"(let account=BankAccount(name: "Steve"))", R"(let account = BankAccount(name: "Steve", deposit: 100))", R"(let account = BankAccount(name:"Steve", deposit:100))", R"(let account = BankAccount(name:"Steve",deposit:100))", R"(let account=BankAccount(name:"Steve",deposit:100))"},
        .success     = "Next up: methods.",
        .hint        = {"Stuck?", "1. Create a constant: let account \n 2. Call an initializer: = BankAccount(name: \"Steve\") or = BankAccount(name: \"Steve\", deposit: 100)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "=", ":", R"(")", ")"}},
        .colors      = {{INSTR, "In line 9, create a constant account for Steve. Use either initializer. Add a deposit of 100 if you like.", comment},
                        {L1, "struct", pink}, {L2, "var", pink}, {L2, "String", blue}, {L3, "var", pink}, {L3, "Float", blue},
                        {L3, "0", purple}, {L4, "init", pink}, {L4, "String", blue}, {L5, "self", pink}, {L5, "name", project},
                        {L6, "init", pink}, {L6, "String", blue}, {L6, "Float", blue}, {L7, "self", pink},
                        {L7, "name", project}, {L8, "self", pink}, {L8, "balance", project}, {L9, "let", pink},
                        {L9, "BankAccount", project}, {L9, "note", project}, {L9, "print", blue},
                        {SUCCESS, "firstToDoItem", project}, {ERROR, "let account", comment},
                        {ERROR, R"(= BankAccount(name: "Steve"))", comment},
                        {ERROR, R"(= BankAccount(name: "Steve", deposit: 100))", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "IQkTlmRHKqZ",
    });

    addLesson(chapter, {
        .id = "CH13L10", .number = 10, .title = "Methods",
        .instruction = R"(Functions inside a struct are called methods. They can read the instance's properties through self. In line 5, print "Hello " followed by the customer's first name.)",
        .code = R"(struct Customer {
   var firstName: String
   var lastName: String
   func printGreeting() {
       «print("Hello " + self.firstName)»
   }
}
let newCustomer = Customer(firstName: "Joe",
                           lastName: "Shmoe")
newCustomer.printGreeting())",
        .accepted    = {R"(print("Hello "+self.firstName))", R"~(print("Hello \(self.firstName)"))~"},
        .hint        = {"Stuck?", "1. Call print() \n 2. Join \"Hello \" and the first name: \"Hello \" + self.firstName"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", R"(")", "+", ".", ")"}},
        .colors      = {{INSTR, R"(In line 5, print "Hello " followed by the customer's first name.)", comment},
                        {L1, "struct", pink}, {L1, "Customer", project}, {L2, "var", pink}, {L2, "firstName", project},
                        {L2, "String", blue}, {L3, "var", pink}, {L3, "lastName", project}, {L3, "String", blue},
                        {L4, "func", pink}, {L4, "printGreeting", project}, {L8, "let", pink}, {L8, "newCustomer", project},
                        {L8, "firstName", project}, {L8, R"("Joe")", red}, {L9, "lastName", project}, {L9, R"("Shmoe")", red},
                        {ERROR, "print()", comment}, {ERROR, R"("Hello " + self.firstName)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(print("Hello " + self.firstName))", "Hello Joe", "printGreeting read firstName of the instance it was called on."},
                        {R"(print("Hello "+self.firstName))", "Hello Joe", "printGreeting read firstName of the instance it was called on."},
                        {R"~(print("Hello \(self.firstName)"))~", "Hello Joe", "printGreeting read firstName of the instance it was called on."}},
        .video       = "8ERBvFN5vba",
    });

    addLesson(chapter, {
        .id = "CH13L11", .number = 11, .title = "More Methods",
        .instruction = "Methods can return values like any function. hypotenuse() works out the longest side of a right triangle. In line 10, print the result of hypotenuse() for triangle.",
        .code = R"(struct RightTriangle {
   var legA: Double
   var legB: Double
   func hypotenuse() -> Int {
       let sum = legA * legA + legB * legB
       return Int(sqrt(sum))
   }
}
let triangle = RightTriangle(legA: 3, legB: 4)
«print(triangle.hypotenuse())»)",
        .hint        = {"Stuck?", "1. Call print() \n 2. Call the method inside it: print(triangle.hypotenuse())"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 10, print the result of hypotenuse() for triangle.", comment}, {L1, "struct", pink},
                        {L1, "RightTriangle", project}, {L2, "var", pink}, {L2, "legA", project}, {L2, "Double", blue},
                        {L3, "var", pink}, {L3, "legB", project}, {L3, "Double", blue}, {L4, "func", pink},
                        {L4, "hypotenuse", project}, {L4, "Int", blue}, {L5, "let", pink}, {L5, "sum", project},
                        {L5, "legA", project}, {L5, "legB", project}, {L6, "return", pink}, {L6, "Int", blue},
                        {L6, "sqrt", blue}, {L6, "sum", project}, {L9, "let", pink}, {L9, "3", purple}, {L9, "4", purple},
                        {ERROR, "print(triangle.hypotenuse())", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(triangle.hypotenuse())", "5", "The square root of 3 * 3 + 4 * 4 is 5."}},
        .video       = "uIU3RacjWg3",
    });

    addLesson(chapter, {
        .id = "CH13L12", .number = 12, .title = "Challenge 1 1/4",
        .instruction = "Challenge time! Build a struct for a game character, step by step. In line 1, declare a struct called Character.",
        .code = R"(«struct Character»{
})",
        .success     = "Now give it some hit points.",
        .hint        = {"Stuck?", "Take another look at the earlier lessons of this chapter: they show every piece you need here."},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "Challenge time! Build a struct for a game character, step by step. In line 1, declare a struct called Character.", comment},
                        {L1, "struct", pink}, {SUCCESS, "printGreeting", project}, {ERROR, "print()", comment},
                        {ERROR, R"("Hello " + self.firstName)", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "B20nVxgfqSV",
    });

    addLesson(chapter, {
        .id = "CH13L13", .number = 13, .title = "Challenge 1 2/4",
        .instruction = "In line 2, add a property hitPoints of type Int.",
        .code = R"(struct Character {
   «var hitPoints: Int»
})",
        .accepted    = {"var hitPoints:Int"},
        .success     = "Next, the most damage it can do.",
        .hint        = {"Stuck?", "Take another look at the earlier lessons of this chapter: they show every piece you need here."},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 2, add a property hitPoints of type Int.", comment},
                        {INSTR, "Int", blue},
                        {L1, "struct", pink}, {L1, "Character", project}, {SUCCESS, "printGreeting", project}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "ah0MZrE9b_w",
    });

    addLesson(chapter, {
        .id = "CH13L14", .number = 14, .title = "Challenge 1 3/4",
        .instruction = "The maximum damage never changes. In line 3, add a constant property maxDamage of type Int.",
        .code = R"(struct Character {
   var hitPoints: Int
   «let maxDamage: Int»
})",
        .accepted    = {"let maxDamage:Int"},
        .success     = "Last step: let it attack.",
        .hint        = {"Stuck?", "Take another look at the earlier lessons of this chapter: they show every piece you need here."},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 3, add a constant property maxDamage of type Int.", comment}, {L1, "struct", pink},
                        {L1, "Character", project}, {L2, "var", pink}, {L2, "hitPoints", project}, {L2, "Int", blue},
                        {SUCCESS, "printGreeting", project}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "uQ1vLQphuDg",
    });

    addLesson(chapter, {
        .id = "CH13L15", .number = 15, .title = "Challenge 1 4/4",
        .instruction = "In line 4, declare a method attack that takes no parameters and returns an Int.",
        .code = R"(struct Character {
   var hitPoints: Int
   let maxDamage: Int
   «func attack() -> Int»{
   // Do something...
   }
})",
        .accepted    = {"func attack()->Int"},
        .success     = "Your character is ready to fight!",
        .hint        = {"Stuck? Break it down.", "1. Declare a method: func attack() \n 2. Add the return type: -> Int \n 3. Together: func attack() -> Int"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "-", ">", ")"}},
        .colors      = {{INSTR, "In line 4, declare a method attack that takes no parameters and returns an Int.", comment},
                        {L1, "struct", pink}, {L1, "Character", project}, {L2, "var", pink}, {L2, "Int", blue},
                        {L3, "let", pink}, {L3, "Int", blue}, {L5, "// Do something...", comment},
                        {SUCCESS, "printGreeting", project}, {ERROR, "func attack() -> Int", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH13L16", .number = 16, .title = "Challenge 2 1/4",
        .instruction = "Next challenge: a struct for books. A book can have several authors. In line 3, add a constant property authors that holds an array of String.",
        .code = R"(struct Book {
   let title: String
   «let authors: [String]»
})",
        .accepted    = {"let authors:[String]"},
        .success     = "Now for the subtitle.",
        .hint        = {"Stuck?", "1. Declare a constant: let authors \n 2. Its type is an array of String: [String] \n 3. Together: let authors: [String]"},
        .placeholder = " Tap to answer ",
        .words       = {{"[", ":", "]"}},
        .colors      = {{INSTR, "In line 3, add a constant property authors that holds an array of String.", comment},
                        {L5, "// Do something...", comment},
                        {L1, "struct", pink}, {L1, "Book", project}, {ERROR, "let authors", comment}, {L2, "let", pink},
                        {L2, "title", project}, {L2, "String", blue}, {SUCCESS, "printGreeting", project},
                        {ERROR, "let authors: [String]", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH13L17", .number = 17, .title = "Challenge 2 2/4",
        .instruction = "Not every book has a subtitle. In line 4, add an optional String property subTitle.",
        .code = R"(struct Book {
   let title: String
   let authors: [String]
   «let subTitle: String?»
})",
        .accepted    = {"var subTitle:String?"},
        .success     = "Next, an initializer.",
        .hint        = {"Stuck?", "1. Declare the property: let subTitle: String \n 2. Make it optional: String? \n 3. Together: let subTitle: String?"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 4, add an optional String property subTitle.", comment}, {L1, "struct", pink},
                        {L1, "Book", project}, {L2, "let", pink}, {L2, "String", blue}, {L3, "let", pink},
                        {L3, "String", blue}, {SUCCESS, "printGreeting", project}, {ERROR, "let subTitle: String?", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH13L18", .number = 18, .title = "Challenge 2 3/4",
        .instruction = "Most books have one author, so the initializer takes a title and a single author. In line 5, declare an initializer with a title and an author, both String.",
        .code = R"(struct Book {
   let title: String
   let authors: [String]
   var subTitle: String?
   «init(title: String, author: String)»{
   }
})",
        .accepted    = {"init(title: String,author: String)", "init(title:String, author:String)", "init(title:String,author:String)"},
        .success     = "Finally, fill in the initializer.",
        .hint        = {"Stuck?", "1. Type init() \n 2. List the parameters with their types: title: String, author: String \n 3. Together: init(title: String, author: String)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ":", ",", ")"}},
        .colors      = {{INSTR, "In line 5, declare an initializer with a title and an author, both String.", comment},
                        {L1, "struct", pink}, {L1, "Book", project}, {L2, "let", pink}, {L2, "String", blue},
                        {L3, "let", pink}, {L3, "String", blue}, {L4, "var", pink}, {L4, "String", blue},
                        {SUCCESS, "printGreeting", project}, {ERROR, "init(title: String, author: String)", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH13L19", .number = 19, .title = "Challenge 2 4/4",
        .instruction = "authors is an array, but the initializer gets a single author. In line 7, set authors to an array holding author.",
        .code = R"(struct Book {
   let title: String
   let authors: [String]
   var subTitle: String?
   init(title:String,author: String) {
       self.title = title
       «self.authors = [author]»
       self.subTitle = nil
   }
})",
        .accepted    = {"self.authors=[author]", "authors = [author]", "authors=[author]"},
        .success     = "You finished the structs chapter!",
        .hint        = {"Stuck?", "Line 6 sets the title in the same way. Take another look at the earlier lessons of this chapter if you need to."},
        .placeholder = " Tap to answer ",
        .words       = {{"[", ".", "=", "]"}},
        .colors      = {{INSTR, "In line 7, set authors to an array holding author.", comment}, {L1, "struct", pink},
                        {L1, "Book", project}, {L2, "let", pink}, {L2, "title", project}, {L2, "String", blue},
                        {L3, "let", pink}, {L3, "authors", project}, {L3, "String", blue}, {L4, "var", pink},
                        {L4, "subTitle", project}, {L4, "String", blue}, {L5, "init", pink}, {L5, "title", project},
                        {L5, "String", blue}, {L6, "self", pink}, {L8, "self", pink}, {L8, "nil", pink},
                        {SUCCESS, "printGreeting", project}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });
}
// clang-format on
