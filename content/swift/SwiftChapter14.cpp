// Swift course, chapter 14: classes, reference semantics, inheritance, initializers, overriding
// and final methods, and a five-step challenge.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter14(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH14L1", .number = 1, .title = "What are classes?",
        .instruction = "Classes, like structs, group properties and methods into a type of your own. In line 3, add a property note of type String.",
        .code = R"(class ToDoItem {
   var title = ""
   «var note: String»= ""
})",
        .accepted    = {"var note:String"},
        .success     = "Looks just like a struct so far. The differences come next.",
        .hint        = {"Stuck?", "Break it down. \n 1. Declare a variable: var note \n 2. Add its type: var note: String"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 3, add a property note of type String.", comment}, {SUCCESS, "struct", pink},
                        {L1, "class", pink}, {L1, "ToDoItem", project}, {L2, "var", pink}, {L2, "title", project},
                        {L2, R"("")", red}, {ERROR, "var note: String", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "s7jWz7Qj9Pm",
    });

    addLesson(chapter, {
        .id = "CH14L2", .number = 2, .title = "Factories vs. objects",
        .instruction = "A class is a factory and every object made from it is a product. Classes get no memberwise initializer, so init has to set every property itself. In line 6, set the model property to the model parameter.",
        .code = R"(class Car {
   var make: String
   var model: String
   init(make: String, model: String) {
       self.make = make
       «self.model = model»
   }
}
let myCar = Car(make: "Zephyr", model: "Breeze"))",
        .accepted    = {"self.model=model"},
        .success     = "The factory is ready: every Car now gets a make and a model.",
        .hint        = {"Stuck?", "Break it down. \n 1. Name the property through self: self.model \n 2. Assign the parameter: self.model = model"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 6, set the model property to the model parameter.", comment}, {INSTR, "init", pink},
                        {L1, "class", pink}, {L1, "Car", project}, {L2, "var", pink}, {L2, "make", project},
                        {L2, "String", blue}, {L3, "var", pink}, {L3, "model", project}, {L3, "String", blue},
                        {L4, "init", pink}, {L4, "make", project}, {L4, "String", blue}, {L4, "model", project},
                        {L5, "self", pink}, {L5, "make", project}, {L9, "let", pink}, {L9, "myCar", project},
                        {L9, R"("Zephyr")", red}, {L9, R"("Breeze")", red}, {ERROR, "self.model = model", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "ZYx565kboDo",
    });

    addLesson(chapter, {
        .id = "CH14L3", .number = 3, .title = "Classes are reference types",
        .instruction = R"(Assigning an object to another constant does not copy it: both names refer to the same object. In line 9, change the name of person1 to "Bob".)",
        .code = R"(class Person {
   var name: String
   init(name: String) {
       self.name = name
   }
}
let person1 = Person(name: "Ann")
let person2 = person1
«person1.name = "Bob"»
print(person2.name))",
        .accepted    = {R"(person1.name="Bob")"},
        .success     = "person1 and person2 are one and the same person.",
        .hint        = {"Stuck?", "Break it down. \n 1. Reach the property: person1.name \n 2. Assign the new name: person1.name = \"Bob\""},
        .placeholder = " Tap to answer ",
        .words       = {{".", "=", R"(")"}},
        .colors      = {{INSTR, R"(In line 9, change the name of person1 to "Bob".)", comment}, {INSTR, R"("Bob")", red},
                        {L1, "class", pink}, {L1, "Person", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L3, "init", pink}, {L3, "name", project}, {L3, "String", blue},
                        {L4, "self", pink}, {L4, "name", project}, {L7, "let", pink}, {L7, "person1", project},
                        {L7, "Person", project}, {L7, "name", project}, {L7, R"("Ann")", red}, {L8, "let", pink},
                        {L8, "person2", project}, {L10, "print", blue}, {ERROR, R"(person1.name = "Bob")", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{R"(person1.name = "Bob")", "Bob", "person2 refers to the same object as person1, so it shows the new name too."},
                        {R"(person1.name="Bob")", "Bob", "person2 refers to the same object as person1, so it shows the new name too."}},
        .video       = "WegMaUUtaDp",
    });

    addLesson(chapter, {
        .id = "CH14L4", .number = 4, .title = "Value types vs. reference types",
        .instruction = "Structs are value types: assigning one copies it, so the copy does not change with the original. In line 6, set the l of rec1 to 4.",
        .code = R"(struct Rectangle {
   var l: Int, w: Int
}
var rec1 = Rectangle(l: 6, w: 3)
var rec2 = rec1
«rec1.l = 4»
print(rec2.l))",
        .accepted    = {"rec1.l=4"},
        .hint        = {"Stuck?", "Break it down. \n 1. Reach the property: rec1.l \n 2. Assign 4: rec1.l = 4"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 6, set the l of rec1 to 4.", comment}, {INSTR, "struct", pink}, {L1, "struct", pink},
                        {L1, "Rectangle", project}, {L2, "var", pink}, {L2, "l", project}, {L2, "Int", blue},
                        {L2, "w", project}, {L4, "var", pink}, {L4, "rec1", project}, {L4, "Rectangle", project},
                        {L4, "6", purple}, {L4, "w", project}, {L4, "3", purple}, {L5, "var", pink}, {L5, "rec2", project},
                        {L5, "rec1", project}, {L7, "print", blue}, {L7, "rec2", project}, {L7, "l", project},
                        {ERROR, "rec1.l = 4", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"rec1.l = 4", "6", "rec2 is a copy of rec1, so changing rec1 left rec2 at 6."},
                        {"rec1.l=4", "6", "rec2 is a copy of rec1, so changing rec1 left rec2 at 6."}},
        .video       = "Tu2H773YGJM",
    });

    addLesson(chapter, {
        .id = "CH14L5", .number = 5, .title = "Inheritance",
        .instruction = "A class can inherit from another: the subclass gets every property and method of its superclass and can add its own. A Wizard is a Character. In line 8, print the hitPoints of merlin.",
        .code = R"(class Character {
   var hitPoints = 100
}
class Wizard: Character {
   var spells = ["Fireball"]
}
let merlin = Wizard()
«print(merlin.hitPoints)»)",
        .hint        = {"Stuck?", "Break it down. \n 1. Call print() \n 2. Print the inherited property: print(merlin.hitPoints)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 8, print the hitPoints of merlin.", comment}, {INSTR, "Wizard", project},
                        {SUCCESS, "Character", project}, {L1, "class", pink},
                        {L1, "Character", project}, {L2, "var", pink}, {L2, "hitPoints", project}, {L2, "100", purple},
                        {L4, "class", pink}, {L4, "Wizard", project}, {L4, "Character", project}, {L5, "var", pink},
                        {L5, "spells", project}, {L5, R"("Fireball")", red}, {L7, "let", pink}, {L7, "merlin", project},
                        {L7, "Wizard", project}, {ERROR, "print(merlin.hitPoints)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"print(merlin.hitPoints)", "100", "Wizard never declared hitPoints: it inherited them from Character."}},
        .search      = "subclass",
        .video       = "gUzpQDYo2x5",
    });

    addLesson(chapter, {
        .id = "CH14L6", .number = 6, .title = "Default properties",
        .instruction = "Properties with a default value need no parameter in init. In line 8, create a constant myCar with 2 doors.",
        .code = R"~(class Car {
   var wheels = 4
   var doors: Int
   init(doors: Int) {
       self.doors = doors
   }
}
«let myCar = Car(doors: 2)»
print("Wheels: \(myCar.wheels)"))~",
        .accepted    = {"let myCar = Car(doors:2)", "let myCar=Car(doors: 2)", "let myCar=Car(doors:2)"},
        .hint        = {"Stuck?", "Break it down. \n 1. Create a constant: let myCar = \n 2. Call the initializer: Car(doors: 2) \n 3. Together: let myCar = Car(doors: 2)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "=", ":", ")"}},
        .colors      = {{INSTR, "In line 8, create a constant myCar with 2 doors.", comment},
                        {INSTR, "init", pink}, {INSTR, "2", purple}, {SUCCESS, "wheels", project}, {L1, "class", pink},
                        {L1, "Car", project}, {SUCCESS, "4", purple}, {L2, "var", pink}, {L2, "wheels", project}, {L2, "4", purple},
                        {ERROR, "Car(doors: 2)", comment}, {ERROR, "let myCar =", comment}, {L3, "var", pink}, {L3, "doors", project},
                        {L3, "Int", blue}, {L4, "init", pink}, {L4, "doors", project}, {L4, "Int", blue}, {L5, "self", pink},
                        {L5, "doors", project}, {L9, "print", blue}, {L9, R"~("Wheels: \(myCar.wheels)")~", red},
                        {ERROR, "let myCar = Car(doors: 2)", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"let myCar = Car(doors: 2)", "Wheels: 4", "wheels kept its default value of 4."},
                        {"let myCar = Car(doors:2)", "Wheels: 4", "wheels kept its default value of 4."},
                        {"let myCar=Car(doors: 2)", "Wheels: 4", "wheels kept its default value of 4."},
                        {"let myCar=Car(doors:2)", "Wheels: 4", "wheels kept its default value of 4."}},
        .video       = "X0PxYPa8kx2",
    });

    addLesson(chapter, {
        .id = "CH14L7", .number = 7, .title = "Super initializers",
        .instruction = "A subclass initializer hands the work on to its superclass with super.init. Triangle always has 3 sides. In line 9, create a variable myTriangle.",
        .code = R"(class Shape {
   var sides: Int
   init(sides: Int) {
       self.sides = sides }
}
class Triangle: Shape {
   init() {
       super.init(sides: 3) } }
«var myTriangle = Triangle()»
print(myTriangle.sides))",
        .accepted    = {"var myTriangle=Triangle()"},
        .hint        = {"Stuck?", "Break it down. \n 1. Create a variable: var myTriangle = \n 2. Call the initializer: Triangle() \n 3. Together: var myTriangle = Triangle()"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "=", ")"}},
        .colors      = {{INSTR, "In line 9, create a variable myTriangle.", comment}, {INSTR, "super.init", pink},
                        {INSTR, "3", purple}, {INSTR, "Triangle", project}, {SUCCESS, "3", purple},
                        {L1, "class", pink}, {L1, "Shape", project}, {L2, "var", pink}, {L2, "sides", project},
                        {L2, "Int", blue}, {L3, "init", pink}, {L3, "sides", project}, {L3, "Int", blue}, {L4, "self", pink},
                        {L4, "sides", project}, {L6, "class", pink}, {L6, "Triangle", project}, {L6, "Shape", project},
                        {L7, "init", pink}, {L8, "super", pink}, {L8, "init", pink}, {L8, "sides", project}, {L8, "3", purple},
                        {L10, "print", blue}, {L10, "sides", project}, {ERROR, "var myTriangle = Triangle()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"var myTriangle = Triangle()", "3", "Triangle's init passed 3 sides on to Shape."},
                        {"var myTriangle=Triangle()", "3", "Triangle's init passed 3 sides on to Shape."}},
        .search      = "subclass",
        .video       = "u774yIES2MZ",
    });

    addLesson(chapter, {
        .id = "CH14L8", .number = 8, .title = "Changing default properties",
        .instruction = "A subclass can change an inherited default in its own initializer, once super.init has run. In line 6, call the initializer of the superclass.",
        .code = R"(class Paint {
   var color = "white"
}
class RedPaint: Paint {
   override init() {
       «super.init()»
       color = "red"
   }  }
let paint = RedPaint()
print(paint.color))",
        .hint        = {"Stuck?", "Break it down. \n The superclass must set up its properties first: call super.init()"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ".", ")"}},
        .colors      = {{INSTR, "In line 6, call the initializer of the superclass.", comment}, {INSTR, "super.init", pink},
                        {SUCCESS, "Paint", project}, {SUCCESS, R"("white")", red}, {SUCCESS, "RedPaint", project},
                        {SUCCESS, R"("red")", red}, {SUCCESS, "color", project},
                        {L1, "class", pink}, {L1, "Paint", project}, {L2, "var", pink},
                        {L2, "color", project}, {L2, R"("white")", red}, {L4, "class", pink}, {L4, "RedPaint", project},
                        {L5, "override", pink}, {L5, "init", pink}, {L7, "color", project}, {L7, R"("red")", red},
                        {L9, "let", pink}, {L9, "paint", project}, {L9, "RedPaint", project}, {L10, "print", blue},
                        {L10, "paint", project}, {L10, "color", project}, {ERROR, "super.init()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"super.init()", "red", R"(Paint set color to "white", then RedPaint changed it to "red".)"}},
        .search      = "override init",
        .video       = "FKse-JrgJXg",
    });

    addLesson(chapter, {
        .id = "CH14L9", .number = 9, .title = "Constant properties",
        .instruction = R"(Properties declared with let never change once set, while var properties can change at any time. A Booking's record locator, a String such as "X7KQ2P", should never change. In line 2, add a constant property recordLocator of type String.)",
        .code = R"(class Booking {
   «let recordLocator: String»= "X7KQ2P" })",
        .accepted    = {"let recordLocator:String"},
        .success     = "recordLocator is a let, so it is fixed for the life of the Booking; as a var it could be changed by mistake.",
        .hint        = {"Stuck?", "Break it down. \n 1. Use let: let recordLocator \n 2. Add the type: let recordLocator: String"},
        .placeholder = " Tap to answer ",
        .words       = {{".", ":"}},
        .colors      = {{INSTR, "In line 2, add a constant property recordLocator of type String.", comment},
                        {INSTR, "let", pink}, {INSTR, "var", pink},
                        {INSTR, "Booking", project}, {INSTR, "String", blue}, {INSTR, R"("X7KQ2P")", red},
                        {INSTR, "recordLocator", project}, {SUCCESS, "recordLocator", project}, {SUCCESS, "let", pink},
                        {SUCCESS, "Booking", project}, {SUCCESS, "var", pink}, {L1, "class", pink}, {L1, "Booking", project},
                        {ERROR, "let recordLocator", comment}, {ERROR, "let recordLocator: String", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "zg3QQgWE_Oc",
    });

    addLesson(chapter, {
        .id = "CH14L10", .number = 10, .title = "Optional properties",
        .instruction = "An optional property starts as nil, so init does not have to set it. An apartment may have no tenant. In line 7, add an optional property tenant of type Person.",
        .code = R"(class Person {
   var name: String
   init(name: String) {
       self.name = name }
}
class Apartment {
   «var tenant: Person?»
}
let unit4A = Apartment()
print(unit4A.tenant?.name ?? "vacant"))",
        .accepted    = {"var tenant:Person?"},
        .success     = "unit4A is vacant until a Person moves in.",
        .hint        = {"Stuck?", "Break it down. \n 1. Declare the property: var tenant: Person \n 2. Make it optional: Person? \n 3. Together: var tenant: Person?"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "?"}},
        .colors      = {{INSTR, "In line 7, add an optional property tenant of type Person.", comment}, {INSTR, "nil", pink},
                        {INSTR, "init", pink}, {SUCCESS, "unit4A", project}, {L1, "class", pink}, {L1, "Person", project}, {L2, "var", pink},
                        {L2, "name", project}, {L2, "String", blue}, {L3, "init", pink}, {L3, "name", project},
                        {L3, "String", blue}, {L4, "self", pink}, {L4, "name", project}, {L6, "class", pink},
                        {L6, "Apartment", project}, {L9, "let", pink}, {L9, "unit4A", project}, {L9, "Apartment", project},
                        {L10, "print", blue}, {L10, "unit4A", project}, {L10, "tenant", project}, {L10, "name", project},
                        {L10, R"("vacant")", red}, {ERROR, "var tenant: Person?", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "JWiGoU0FwuI",
    });

    addLesson(chapter, {
        .id = "CH14L11", .number = 11, .title = "Accessing Properties",
        .instruction = "Read and change the properties of an object with a dot. Since the type of weapon is known, the short .lightsaber will do. In line 9, give kira a lightsaber or a ray gun.",
        .code = R"(enum Weapon {
   case lightsaber, rayGun, handToHand
}
class Jedi {
   var weapon = Weapon.handToHand
}
// A new Jedi fights hand to hand
var kira = Jedi()
«kira.weapon = .lightsaber»)",
        .accepted    = {"kira.weapon=.lightsaber", "kira.weapon = .rayGun", "kira.weapon=.rayGun", "kira.weapon = Weapon.lightsaber", "kira.weapon=Weapon.lightsaber", "kira.weapon = Weapon.rayGun"},
        .success     = "kira is armed.",
        .hint        = {"Stuck?", "Break it down. \n 1. Reach the property: kira.weapon \n 2. Assign a case: kira.weapon = .lightsaber"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 9, give kira a lightsaber or a ray gun.", comment},
                        {INSTR, ".lightsaber", project}, {SUCCESS, "kira", project},
                        {L2, "rayGun", project}, {L1, "enum", pink}, {L1, "Weapon", project}, {L2, "case", pink}, {L2, "lightsaber", project},
                        {L2, "handToHand", project}, {L4, "class", pink}, {L4, "Jedi", project}, {L5, "var", pink},
                        {L5, "weapon", project}, {L5, "Weapon", project}, {L5, "handToHand", project},
                        {L7, "// A new Jedi fights hand to hand", comment}, {L8, "var", pink}, {L8, "kira", project},
                        {L8, "Jedi", project}, {ERROR, "kira.weapon = .lightsaber", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
        .video       = "arNz8mHUtqK",
    });

    addLesson(chapter, {
        .id = "CH14L12", .number = 12, .title = "Multiple initializers",
        .instruction = R"(Like structs, classes can have several initializers. In line 9, create a variable goal named "Build my own app", with a priority if you like.)",
        .code = R"(class Goal {
   var name: String
   var priority: Int
   init(name: String) {
       self.name = name; self.priority = 3 }
   init(name: String, priority: Int) {
       self.name = name
       self.priority = priority } }
«var goal = Goal(name: "Build my own app")»)",
        .accepted    = {R"(var goal = Goal(name:"Build my own app"))", R"(var goal=Goal(name:"Build my own app"))", R"(var goal=Goal(name: "Build my own app"))", R"(var goal = Goal(name: "Build my own app",priority: 1))", R"(var goal = Goal(name:"Build my own app",priority:1))", R"(var goal=Goal(name: "Build my own app", priority: 1))", R"(var goal=Goal(name:"Build my own app",priority: 1))", R"(var goal = Goal(name:"Build my own app", priority:1))", R"(var goal=Goal(name:"Build my own app",priority:1))"},
        .success     = "Either initializer works; the first one gives priority 3.",
        .hint        = {"Stuck?", "Break it down. \n 1. Create a variable: var goal = \n 2. Call an initializer: Goal(name: \"Build my own app\") \n 3. Together: var goal = Goal(name: \"Build my own app\")"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "=", ":", R"(")", ",", ")"}},
        .colors      = {{INSTR, R"(In line 9, create a variable goal named "Build my own app", with a priority if you like.)", comment},
                        {L1, "class", pink}, {L1, "Goal", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L3, "var", pink}, {L3, "priority", project}, {L3, "Int", blue},
                        {L4, "init", pink}, {L4, "name", project}, {L4, "String", blue}, {L5, "self", pink},
                        {L5, "name", project}, {L5, "priority", project}, {L5, "3", purple}, {L6, "init", pink},
                        {L6, "name", project}, {L6, "String", blue}, {L6, "priority", project}, {L6, "Int", blue},
                        {L7, "self", pink}, {L7, "name", project}, {L8, "self", pink}, {L8, "priority", project},
                        {ERROR, R"(var goal = Goal(name: "Build my own app"))", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH14L13", .number = 13, .title = "Class methods",
        .instruction = "A method can change the properties of its object. dive() should take the submarine one step down. In line 4, lower the y value of position by 1.",
        .code = R"(class Submarine {
   var position = (x:0, y: 0)
   func dive() {
       «position.y -= 1»
   }
}
let sub = Submarine()
sub.dive()
print(sub.position))",
        .accepted    = {"position.y-=1", "self.position.y -= 1", "self.position.y-=1", "position.y = position.y - 1", "position.y=position.y-1", "self.position.y = self.position.y - 1", "self.position.y=self.position.y-1", "position.y += -1", "self.position.y += -1"},
        .hint        = {"Stuck?", "Break it down. \n 1. Subtract with -=: position.y -= 1 or self.position.y -= 1 \n 2. Or assign: position.y = position.y - 1 or position.y += -1"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "-", "="}},
        .colors      = {{INSTR, "In line 4, lower the y value of position by 1.", comment},
                        {INSTR, "dive()", project},
                        {L1, "class", pink}, {L1, "Submarine", project}, {SUCCESS, "self", pink}, {L2, "var", pink},
                        {L2, "0", blue}, {L2, " 0", blue}, {L2, "position", project}, {L2, "x", project}, {L2, "y", project},
                        {L3, "func", pink}, {L3, "dive", project}, {L7, "Submarine", project}, {L7, "let", pink},
                        {L7, "sub", project}, {L8, "sub", project}, {L8, "dive", project}, {L9, "print", blue},
                        {L9, "sub", project}, {L9, "position", project}, {ERROR, "self.position.y", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"self", "(x: 0, y: -1)", "Inside a method the prefix self. is optional."},
                        {"position", "(x: 0, y: -1)", "Inside a method the prefix self. is optional."}},
        .video       = "B5kN3next68",
    });

    addLesson(chapter, {
        .id = "CH14L14", .number = 14, .title = "Overriding class methods",
        .instruction = "A subclass can replace a method of its superclass by marking its own version with override. In line 9, create a constant bot of type RudeRobot.",
        .code = R"(class Robot {
   func wakeUser() {
       print("Good morning!")
}  }
class RudeRobot: Robot {
   override func wakeUser() {
       print("GET UP YOU LAZY BUM!")
}  }
«let bot = RudeRobot()»
bot.wakeUser())",
        .accepted    = {"var bot = RudeRobot()", "var bot=RudeRobot()", "let bot=RudeRobot()"},
        .hint        = {"Stuck?", "Break it down. \n 1. Create a constant: let bot = \n 2. Call the initializer: RudeRobot() \n 3. Together: let bot = RudeRobot()"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", "=", ")"}},
        .colors      = {{INSTR, "In line 9, create a constant bot of type RudeRobot.", comment}, {INSTR, "override", pink},
                        {SUCCESS, "RudeRobot", project}, {L1, "class", pink},
                        {L1, "Robot", project}, {L2, "func", pink}, {L2, "wakeUser", project}, {L3, "print", blue},
                        {L3, R"("Good morning!")", red}, {L5, "class", pink}, {L5, "RudeRobot", project},
                        {L6, "override", pink}, {L6, "func", pink}, {L6, "wakeUser", project}, {L7, "print", blue},
                        {L7, R"("GET UP YOU LAZY BUM!")", red}, {L10, "wakeUser", project},
                        {ERROR, "let bot = RudeRobot()", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"let bot = RudeRobot()", "GET UP YOU LAZY BUM!", "RudeRobot overrode wakeUser, so its version ran."},
                        {"var bot = RudeRobot()", "GET UP YOU LAZY BUM!", "RudeRobot overrode wakeUser, so its version ran."},
                        {"var bot=RudeRobot()", "GET UP YOU LAZY BUM!", "RudeRobot overrode wakeUser, so its version ran."},
                        {"let bot=RudeRobot()", "GET UP YOU LAZY BUM!", "RudeRobot overrode wakeUser, so its version ran."}},
        .video       = "nwZqeC7S5ro",
    });

    addLesson(chapter, {
        .id = "CH14L15", .number = 15, .title = "Final methods",
        .instruction = "Mark a method final and no subclass can override it. In line 2, stop subclasses from overriding wakeUser.",
        .code = R"(class Robot {
   «final»func wakeUser() {
       print("Good morning!")
}  }
class RudeRobot: Robot {
   func wakeUserRudely() {
       print("GET UP YOU LAZY BUM!")
}  }
let bot = RudeRobot()
bot.wakeUserRudely())",
        .hint        = {"Stuck?", "Put the keyword final in front of func: final"},
        .placeholder = " Tap to answer ",
        .words       = {{"!", ":"}},
        .colors      = {{INSTR, "In line 2, stop subclasses from overriding wakeUser.", comment},
                        {INSTR, "final", pink},
                        {INSTR, "override", pink}, {L1, "class", pink},
                        {L1, "Robot", project}, {L2, "func", pink}, {L3, "print", blue}, {L3, R"("Good morning!")", red},
                        {L5, "class", pink}, {L5, "RudeRobot", project}, {L6, "func", pink}, {L6, "wakeUserRudely", project},
                        {L7, "print", blue}, {L7, R"("GET UP YOU LAZY BUM!")", red}, {L9, "RudeRobot", project},
                        {L9, "let", pink}, {L9, "bot", project}, {L10, "bot", project}, {L10, "wakeUserRudely", project},
                        {SUCCESS, "final", pink}, {ERROR, "final", comment}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"final", "GET UP YOU LAZY BUM!", "wakeUser is final, so RudeRobot had to make a method of its own."}},
        .video       = "1Vhui3qqiao",
    });

    addLesson(chapter, {
        .id = "CH14L16", .number = 16, .title = "Challenge 1",
        .instruction = "Challenge: build a sail boat on top of a boat, step by step. In line 5, declare a class SailBoat that inherits from Boat.",
        .code = R"(class Boat {
   var name: String
   init(name:String) {
       self.name = name }}
«class SailBoat: Boat»{
   let masts: Int
   init(name: String, masts: Int) {
       self.masts = masts
       super.init(name: name)
}})",
        .lines       = 5,
        .accepted    = {"class SailBoat:Boat"},
        .success     = "Next, the masts.",
        .hint        = {"Stuck?", "Go back through the lessons of this chapter: everything you need is there. \n 1. Name the superclass after a colon: class SailBoat: Boat"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 5, declare a class SailBoat that inherits from Boat.", comment},
                        {L1, "class", pink}, {L1, "Boat", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L3, "init", pink}, {L3, "name", project}, {L3, "String", blue},
                        {L4, "self", pink}, {L4, "name", project}, {L6, "let", pink}, {L6, "masts", project},
                        {L6, "Int", blue}, {L7, "init", pink}, {L7, "name", project}, {L7, "String", blue},
                        {L7, "masts", project}, {L7, "Int", blue}, {L8, "self", pink}, {L8, "masts", project},
                        {L9, "super", pink}, {L9, "init", pink}, {L9, "name", project},
                        {ERROR, "class SailBoat: Boat", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH14L17", .number = 17, .title = "Challenge 2",
        .instruction = "In line 6, add a constant property masts of type Int.",
        .code = R"(class Boat {
   var name: String
   init(name:String) {
       self.name = name }}
class SailBoat: Boat {
   «let masts: Int»
   init(name: String, masts: Int) {
       self.masts = masts
       super.init(name: name)
}})",
        .lines       = 6,
        .accepted    = {"let masts:Int"},
        .success     = "Next, the initializer.",
        .hint        = {"Stuck?", "Go back through the lessons of this chapter: everything you need is there. \n 1. Use let for a constant property: let masts: Int"},
        .placeholder = " Tap to answer ",
        .words       = {{":", "!"}},
        .colors      = {{INSTR, "In line 6, add a constant property masts of type Int.", comment},
                        {L1, "class", pink}, {L1, "Boat", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L3, "init", pink}, {L3, "name", project}, {L3, "String", blue},
                        {L4, "self", pink}, {L4, "name", project}, {L5, "class", pink}, {L5, "SailBoat", project},
                        {L5, " Boat", project}, {L7, "init", pink}, {L7, "name", project}, {L7, "String", blue},
                        {L7, "masts", project}, {L7, "Int", blue}, {L8, "self", pink}, {L8, "masts", project},
                        {L9, "super", pink}, {L9, "init", pink}, {L9, "name", project},
                        {ERROR, "let masts: Int", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH14L18", .number = 18, .title = "Challenge 3",
        .instruction = "In line 7, declare an initializer that takes a name and a number of masts.",
        .code = R"(class Boat {
   var name: String
   init(name:String) {
       self.name = name }}
class SailBoat: Boat {
   let masts: Int
   «init(name: String, masts: Int)»{
       self.masts = masts
       super.init(name: name)
}})",
        .lines       = 7,
        .accepted    = {"init(name: String,masts: Int)", "init(name:String,masts:Int)", "init(name:String, masts:Int)", "init(masts: Int, name: String)", "init(masts: Int,name: String)", "init(masts:Int, name:String)", "init(masts:Int,name:String)"},
        .success     = "Now set the masts.",
        .hint        = {"Stuck?", "Go back through the lessons of this chapter: everything you need is there. \n 1. The name is a String: name: String \n 2. The masts are an Int: masts: Int \n 3. Separate the parameters with a comma"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ":", ",", ")"}},
        .colors      = {{INSTR, "In line 7, declare an initializer that takes a name and a number of masts.", comment},
                        {INSTR, "masts", project}, {L1, "class", pink}, {L1, "Boat", project}, {L2, "var", pink},
                        {L2, "name", project}, {L2, "String", blue}, {L3, "init", pink}, {L3, "name", project},
                        {L3, "String", blue}, {L4, "self", pink}, {L4, "name", project}, {L5, "class", pink},
                        {L5, "SailBoat", project}, {L5, " Boat", project}, {L6, "let", pink}, {L6, "masts", project},
                        {L6, "Int", blue}, {L8, "self", pink}, {L8, "masts", project}, {L9, "super", pink},
                        {L9, "init", pink}, {L9, "name", project}, {ERROR, "name: String", comment},
                        {ERROR, "masts: Int", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH14L19", .number = 19, .title = "Challenge 4",
        .instruction = "In line 8, set the masts property to the masts parameter.",
        .code = R"(class Boat {
   var name: String
   init(name:String) {
       self.name = name }}
class SailBoat: Boat {
   let masts: Int
   init(name: String, masts: Int) {
       «self.masts = masts»
       super.init(name: name)
}})",
        .lines       = 8,
        .accepted    = {"self.masts=masts"},
        .success     = "Last step: the superclass.",
        .hint        = {"Stuck?", "Go back through the lessons of this chapter: everything you need is there. \n 1. Reach the property through self: self.masts = masts"},
        .placeholder = " Tap to answer ",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 8, set the masts property to the masts parameter.", comment},
                        {L1, "class", pink}, {L1, "Boat", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L3, "init", pink}, {L3, "name", project}, {L3, "String", blue},
                        {L4, "self", pink}, {L4, "name", project}, {L5, "class", pink}, {L5, "SailBoat", project},
                        {L5, " Boat", project}, {L6, "let", pink}, {L6, "masts", project}, {L6, "Int", blue},
                        {L7, "init", pink}, {L7, "name", project}, {L7, "String", blue}, {L7, "masts", project},
                        {L7, "Int", blue}, {L9, "super", pink}, {L9, "name", project},
                        {ERROR, "self.masts = masts", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });

    addLesson(chapter, {
        .id = "CH14L20", .number = 20, .title = "Challenge 5",
        .instruction = "In line 9, let Boat set the name.",
        .code = R"(class Boat {
   var name: String
   init(name:String) {
       self.name = name }}
class SailBoat: Boat {
   let masts: Int
   init(name: String, masts: Int) {
       self.masts = masts
       «super.init(name: name)»
}})",
        .accepted    = {"super.init(name:name)"},
        .success     = "You finished the classes chapter!",
        .hint        = {"Stuck?", "Go back through the lessons of this chapter: everything you need is there. \n 1. Call the initializer of the superclass: super.init() \n 2. Pass the name: super.init(name: name)"},
        .placeholder = " Tap to answer ",
        .words       = {{"(", ".", ":", ")"}},
        .colors      = {{INSTR, "In line 9, let Boat set the name.", comment}, {L1, "class", pink},
                        {L1, "Boat", project}, {L2, "var", pink}, {L2, "name", project}, {L2, "String", blue},
                        {L3, "init", pink}, {L3, "name", project}, {L3, "String", blue}, {L4, "self", pink},
                        {L4, "name", project}, {L5, "class", pink}, {L5, "SailBoat", project},
                        {L5, " Boat", project}, {L6, "let", pink}, {L6, "masts", project}, {L6, "Int", blue},
                        {L7, "init", pink}, {L7, "name", project}, {L7, "String", blue}, {L7, "masts", project},
                        {L7, "Int", blue}, {L8, "self", pink}, {L8, "masts", project},
                        {ERROR, "super.init(name: name)", comment}},
        .autoColor   = false,
        .blankDebugTexts = true,
    });
}
// clang-format on
