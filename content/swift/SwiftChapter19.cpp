// Swift course, chapter 19: protocols, their requirements, extensions, inheritance, associated types,
// class-only protocols, where clauses and protocol composition.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter19(Chapter& chapter) {
    addLessonStoring(chapter, 51, {
        .id = "CH19L1", .number = 1, .title = "Protocols overview",
        .instruction = "Protocols describe what a type must be able to do, without saying how. A class, a structure or an enumeration adopts a protocol by writing its name after a colon: and then provides every method the protocol asks for. In line 4, make GameLevel adopt the BossLevel protocol.",
        .code = R"(protocol BossLevel {
   func summonBoss()
}
class GameLevel:«BossLevel»{
   func summonBoss() {
       // add details later
   }
})",
        .accepted    = {"BossLevel"},
        .success     = "GameLevel now adopts BossLevel, so it must provide summonBoss(). The compiler checks that it does.",
        .hint        = {"Stuck? Break it down!", "Write the name of the protocol BossLevel after the colon."},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "Protocols", pink}, {INSTR, "class", pink}, {INSTR, "structure", pink},
                        {INSTR, "enumeration", pink}, {INSTR, ":", comment}, {INSTR, "GameLevel", project},
                        {INSTR, "BossLevel", project}, {L1, "protocol", pink}, {L2, "func", pink}, {L4, "class", pink},
                        {L5, "func", pink}, {L6, "// add details later", comment}, {SUCCESS, "GameLevel", comment},
                        {SUCCESS, "BossLevel", comment}, {SUCCESS, "summonBoss()", comment}, {ERROR, "BossLevel", comment}},
        .autoColor   = false,
        .video       = "MXJZxcc0g14",
    });

    addLessonStoring(chapter, 55, {
        .id = "CH19L2", .number = 2, .title = "Protocol properties",
        .instruction = "A protocol can require properties. It names each property's type and whether it must be readable { get } or readable and writable { get set }; it never says whether the property is stored or computed. In line 4, add a read-write requirement wheels of type Int.",
        .code = R"(protocol Vehicle {
   var vin: String { get } // read-only
   var doors: Int { get set } // read-write
   «var wheels: Int { get set }»
})",
        .accepted    = {"var wheels: Int {get set}", "var wheels:Int { get set }", "var wheels:Int {get set}"},
        .success     = "Every Vehicle must now have wheels that can be read and changed.",
        .hint        = {"Stuck? Break it down!", "1. Declare the property with var: var wheels \n 2. Give it the type Int: var wheels: Int \n 3. Make it readable and writable: { get set } \n Getters and setters were covered in chapter 18, properties. \n var wheels: Int { get set }"},
        .placeholder = "Tap to answer",
        .words       = {{"{", ":", "}"}},
        .colors      = {{INSTR, "In line 4, add a read-write requirement wheels of type Int.", comment}, {INSTR, "{ get }", pink},
                        {INSTR, "{ get set }", pink}, {L1, "protocol", pink}, {L1, "Vehicle", project}, {L2, "var", pink},
                        {L2, "vin", project}, {L2, "String", blue}, {L2, "// read-only", comment}, {L3, "var", pink},
                        {L3, "doors", project}, {L3, "Int", blue}, {L3, "// read-write", comment},
                        {ERROR, "var wheels: Int { get set }", comment}},
        .autoColor   = false,
        .video       = "-LUjOTEm77P",
    });

    addLessonStoring(chapter, 57, {
        .id = "CH19L3", .number = 3, .title = "Protocol methods",
        .instruction = "A protocol can also require methods: it lists each method's name and parameters, without a body. Every type that adopts AnimateView must then implement them. In line 4, add a method requirement spin that takes no parameters.",
        .code = R"(protocol AnimateView {
   func shake()
   func animate()
   «func spin()»
})",
        .success     = "Every view that adopts AnimateView must now be able to shake, animate and spin.",
        .hint        = {"Stuck? Break it down!", "Write the method head like shake and animate above, without a body. \n func spin()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 4, add a method requirement spin that takes no parameters.", comment},
                        {L1, "protocol", pink}, {L1, "AnimateView", project}, {L2, "func", pink}, {L3, "func", pink},
                        {ERROR, "func spin()", comment}},
        .autoColor   = false,
        .video       = "JZ4KISam2md",
    });

    addLessonStoring(chapter, 72, {
        .id = "CH19L4", .number = 4, .title = "Protocol extensions",
        .instruction = "A protocol extension gives every adopting type a default implementation: the extension of Transformable adds doubleWidth(), so every adopter gets it for free. In line 6, create a struct Shapes that adopts the Transformable protocol.",
        .code = R"(protocol Transformable {
   var width: Int { get set } }
extension Transformable {
   mutating func doubleWidth() {
       self.width = self.width * 2 } }
«struct Shapes: Transformable» {
   var width: Int = 10 }
var myShape = Shapes()
myShape.doubleWidth()
print(myShape.width))",
        .accepted    = {"struct Shapes:Transformable"},
        .success     = "myShape started with a width of 10, and doubleWidth() from the extension made it 20.",
        .hint        = {"Stuck? Break it down!", "1. Declare a struct: struct Shapes \n 2. Add a colon after its name \n 3. Adopt the protocol: Transformable \n struct Shapes: Transformable"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 6, create a struct Shapes that adopts the Transformable protocol.", comment},
                        {INSTR, "extension", pink}, {INSTR, "Transformable", project}, {L1, "protocol", pink},
                        {L1, "Transformable", project}, {L2, "var", pink}, {L2, "width", project}, {L2, "Int", blue},
                        {L2, "get set", pink}, {L3, "extension", pink}, {L3, "Transformable", project},
                        {L4, "mutating", pink}, {L4, "func", pink}, {L4, "doubleWidth", project}, {L5, "self", pink},
                        {L5, "width", project}, {L5, "2", purple}, {L7, "var", pink}, {L7, "width", project},
                        {L7, "Int", blue}, {L7, "10", purple}, {L8, "var", pink}, {L8, "myShape", project},
                        {L8, "Shapes()", project}, {L9, "myShape", project}, {L9, "doubleWidth", project},
                        {L10, "print", blue}, {ERROR, "struct Shapes: Transformable", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "20",
        .video       = "cVo10mTDjVn",
    });

    addLessonStoring(chapter, 64, {
        .id = "CH19L5", .number = 5, .title = "Multiple Protocols",
        .instruction = "A type can adopt several protocols: list them after the colon, separated by commas. HasValidAddress comes with an extension that gives checkAddress() to every adopter. In line 7, create a class called User and have it adopt the UserManager and HasValidAddress protocols.",
        .code = R"(protocol UserManager { }
protocol HasValidAddress { }
extension HasValidAddress {
   func checkAddress() {
       print("Run address checker.") }
}
«class User: UserManager, HasValidAddress» {
}
var localUser = User()
localUser.checkAddress())",
        .accepted    = {"class User:UserManager, HasValidAddress", "class User: UserManager,HasValidAddress", "class User:UserManager,HasValidAddress", "class User: HasValidAddress, UserManager", "class User:HasValidAddress, UserManager", "class User: HasValidAddress,UserManager", "class User:HasValidAddress,UserManager"},
        .success     = "User adopts both protocols, so localUser can call checkAddress() from the extension.",
        .hint        = {"Stuck? Break it down!", "1. Declare a class: class User \n 2. Add a colon after its name \n 3. List both protocols, separated by a comma: UserManager, HasValidAddress \n class User: UserManager, HasValidAddress"},
        .placeholder = "Tap to answer",
        .words       = {{":", ","}},
        .colors      = {{INSTR, "In line 7, create a class called User and have it adopt the UserManager and HasValidAddress protocols.", comment},
                        {L1, "protocol", pink}, {L2, "protocol", pink}, {L3, "extension", pink},
                        {L3, "HasValidAddress", project}, {L4, "func", pink}, {L9, "var", pink}, {L9, " User", project},
                        {L10, "localUser", project}, {L10, "checkAddress", project}, {L5, "print", blue},
                        {L5, R"("Run address checker.")", red}, {ERROR, "class User: UserManager, HasValidAddress", comment},
                        {ERROR, "class", pink}, {ERROR, "User", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Run address checker.",
        .video       = "CVIjbaEL9O2",
    });

    addLessonStoring(chapter, 76, {
        .id = "CH19L6", .number = 6, .title = "Protocol Inheritance",
        .instruction = "A protocol can inherit from another protocol and add requirements of its own; a type that adopts it must meet them all. In line 3, create a protocol SuperHuman that inherits from the Human protocol.",
        .code = R"(protocol Human {
   var name: String { get set } }
«protocol SuperHuman: Human» {
   var canFly: Bool { get set } }
class Heroes: SuperHuman {
   var name: String; var canFly = true
   init(name: String) {
       self.name = name }}
let myHero = Heroes(name: "Storm")
print(myHero.canFly))",
        .accepted    = {"protocol SuperHuman:Human"},
        .success     = "Heroes adopts SuperHuman, so it needs both name from Human and canFly from SuperHuman.",
        .hint        = {"Stuck? Break it down!", "1. Declare the protocol: protocol SuperHuman \n 2. Inherit from Human after a colon \n protocol SuperHuman: Human"},
        .placeholder = "Tap to answer",
        .words       = {{":", ","}},
        .colors      = {{INSTR, "In line 3, create a protocol SuperHuman that inherits from the Human protocol.", comment},
                        {INSTR, "protocol", pink}, {INSTR, "SuperHuman", project}, {INSTR, "Human", project},
                        {L1, "protocol", pink}, {L1, "Human", project}, {L2, "var", pink}, {L2, "name", project},
                        {L2, "String", blue}, {L2, "get set", pink}, {L4, "var", pink}, {L4, "canFly", project},
                        {L4, "Bool", blue}, {L4, "get set", pink}, {L5, "class", pink}, {L5, "Heroes", project},
                        {L5, "SuperHuman", project}, {L6, "var", pink}, {L6, "name", project}, {L6, "String", blue},
                        {L6, "canFly", project}, {L6, "true", pink}, {L7, "init", pink}, {L7, "name", project},
                        {L7, "String", blue}, {L8, "self", pink}, {L8, "name", project}, {L9, "let", pink},
                        {L9, "myHero", project}, {L9, "Heroes", project}, {L9, R"("Storm")", red}, {L10, "print", blue},
                        {L10, "myHero", project}, {L10, "canFly", project}, {ERROR, "protocol SuperHuman: Human", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "true",
        .video       = "-1bGj6iYOnp",
    });

    addLessonStoring(chapter, 78, {
        .id = "CH19L7", .number = 7, .title = "Associated Types 1 of 2",
        .instruction = "An associated type is a placeholder name for a type that a protocol uses; each adopting type says what it stands for. Edible names its placeholder A. In line 3, add a method requirement eat with one parameter food of type A.",
        .code = R"(protocol Edible {
   associatedtype A
   «func eat(food: A)»
})",
        .accepted    = {"func eat( food: A)", "func eat(food:A)", "func eat (food: A)", "func eat (food:A)", "func eat ( food: A)", "func eat( food:A )", "func eat ( food:A )", "func eat (food:A)"},
        .success     = "Edible now requires eat(food:); each adopter decides what A is, with associatedtype left open until then.",
        .hint        = {"Stuck? Break it down!", "1. Name the method: func eat \n 2. Add the parameter food of the placeholder type A: (food: A) \n func eat(food: A)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 3, add a method requirement eat with one parameter food of type A.", comment},
                        {INSTR, "Edible", project}, {L1, "protocol", pink}, {L1, "Edible", project},
                        {L2, "associatedtype", pink}, {L2, "A", project}, {ERROR, "func eat(food: A)", comment},
                        {ERROR, "func", pink}, {ERROR, "food", project}, {SUCCESS, "Edible", project},
                        {SUCCESS, "eat(food:)", project}, {SUCCESS, "associatedtype", pink}},
        .autoColor   = false,
        .video       = "6f1r4piLkqJ",
    });

    addLessonStoring(chapter, 81, {
        .id = "CH19L8", .number = 8, .title = "Associated Types 2 of 2",
        .instruction = "A type that adopts Edible tells which type A stands for with typealias, then implements eat with that type. Cat eats Strings. In line 6, implement the method eat with a parameter food of type A.",
        .code = R"(protocol Edible {
   associatedtype A
   func eat (food: A) }
struct Cat: Edible {
   typealias A = String
   «func eat(food: A)» {
       print("I can eat: " + food) }
}
let myCat = Cat()
myCat.eat(food: "fish"))",
        .accepted    = {"func eat( food: A)", "func eat(food:A)", "func eat (food: A)", "func eat (food:A)", "func eat ( food: A)", "func eat( food:A )", "func eat ( food:A )", "func eat (food:A)"},
        .success     = R"(Cat set A to String, so myCat.eat(food: "fish") printed the food it was given.)",
        .hint        = {"Stuck? Break it down!", "1. Name the method as the protocol does: func eat \n 2. Add the parameter food of type A: (food: A) \n func eat(food: A)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 6, implement the method eat with a parameter food of type A.", comment},
                        {INSTR, "typealias", pink}, {INSTR, "Edible", project}, {L1, "protocol", pink},
                        {L1, "Edible", project}, {L2, "associatedtype", pink}, {L3, "func", pink}, {L3, "eat", project},
                        {L4, "struct", pink}, {L4, "Cat", project}, {L4, "Edible", project}, {L5, "typealias", pink},
                        {L5, "String", blue}, {L7, "print", blue}, {L7, R"("I can eat: ")", red}, {L7, "food", project},
                        {L9, "let", pink}, {L9, "myCat", project}, {L9, "Cat()", project}, {L10, "myCat", project},
                        {L10, "eat", project}, {L10, R"("fish")", red}, {ERROR, "func eat(food: A)", comment},
                        {SUCCESS, "String", blue}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "I can eat: fish",
        .video       = "W9panTrZEfu",
    });

    addLessonStoring(chapter, 76, {
        .id = "CH19L9", .number = 9, .title = "Class Protocols",
        .instruction = "Some protocols only make sense for classes, for example when the adopting object is shared and changed from several places. Write class, or AnyObject, after the colon and only classes can adopt the protocol. In line 1, create a protocol Draggable that only classes can adopt.",
        .code = R"(«protocol Draggable: class» {
})",
        .accepted    = {"protocol Draggable:class", "protocol Draggable: AnyObject", "protocol Draggable:AnyObject"},
        .success     = "Draggable is one of the class-only protocols now: its adopters have reference semantics, while structs and enums, with their value semantics, cannot adopt it.",
        .hint        = {"Stuck? Break it down!", "1. Declare the protocol: protocol Draggable \n 2. Limit it to classes after a colon: class or AnyObject \n protocol Draggable: class \n protocol Draggable: AnyObject"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "protocol", pink}, {INSTR, "In line 1, create a protocol Draggable that only classes can adopt.", comment},
                        {ERROR, "protocol Draggable: class", comment}, {ERROR, "protocol", pink}, {ERROR, "AnyObject", blue},
                        {ERROR, "class", pink}, {ERROR, "protocol Draggable: AnyObject", comment},
                        {SUCCESS, "class-only protocols", pink}, {SUCCESS, "reference semantics", comment},
                        {SUCCESS, "value semantics", comment}},
        .autoColor   = false,
        .video       = "-Qpb-NPL5tN",
    });

    addLessonStoring(chapter, 66, {
        .id = "CH19L10", .number = 10, .title = "Where clause",
        .instruction = "A protocol extension can be limited with a where clause: here confirm() only exists for Draggable types that are also a UIButton. In line 7, create a class Button that inherits from UIButton and adopts Draggable.",
        .code = R"(protocol Draggable {
}
extension Draggable where Self: UIButton {
   func confirm () {
       print("I am a draggable button.") }
}
«class Button: UIButton, Draggable» {
}
let myButton = Button()
myButton.confirm())",
        .accepted    = {"class Button:UIButton, Draggable", "class Button: UIButton,Draggable", "class Button:UIButton,Draggable"},
        .success     = "Button is a UIButton and Draggable, so the where clause gave myButton the confirm() method.",
        .hint        = {"Stuck? Break it down!", "1. Declare a class: class Button \n 2. Inherit from UIButton after a colon \n 3. Adopt Draggable after a comma \n class Button: UIButton, Draggable"},
        .placeholder = "Tap to answer",
        .words       = {{":", ","}},
        .colors      = {{INSTR, "In line 7, create a class Button that inherits from UIButton and adopts Draggable.", comment},
                        {INSTR, "where", pink}, {INSTR, "UIButton", blue}, {INSTR, "Draggable", project},
                        {L1, "protocol", pink}, {L1, "Draggable", project}, {L3, "extension", pink},
                        {L3, "Draggable", project}, {L3, "where", pink}, {L3, "Self", pink}, {L3, "UIButton", blue},
                        {L4, "func", pink}, {L4, "confirm", project}, {L5, "print", blue},
                        {L5, R"("I am a draggable button.")", red}, {L9, "let", pink}, {L9, "myButton", project},
                        {L9, "Button()", project}, {L10, "myButton", project}, {L10, "confirm", project},
                        {ERROR, "class Button: UIButton, Draggable", comment}, {SUCCESS, "UIButton", blue},
                        {SUCCESS, "Draggable", project}, {SUCCESS, "where", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "I am a draggable button.",
        .video       = "pam_eM-rogk",
    });

    addLessonStoring(chapter, 63, {
        .id = "CH19L11", .number = 11, .title = "Protocols & Properties",
        .instruction = "A property's type can combine a class and protocols with &: the value must be that class, or a subclass of it, and adopt every protocol named. In line 4, declare a constant myVC that is a UIViewController and adopts MyProtocol.",
        .code = R"(protocol MyProtocol {
}; class LoginVC: UIViewController, MyProtocol { }
class myViewController: UIViewController {
   «let myVC: UIViewController & MyProtocol»= LoginVC() })",
        .accepted    = {"let myVC:UIViewController & MyProtocol", "let myVC: UIViewController&MyProtocol", "let myVC:UIViewController&MyProtocol", "var myVC: UIViewController & MyProtocol", "var myVC:UIViewController & MyProtocol", "var myVC: UIViewController&MyProtocol", "var myVC:UIViewController&MyProtocol", kShortcutAnswer},
        .success     = "myVC can only hold a view controller that also adopts MyProtocol. You finished the protocols chapter!",
        .hint        = {"Stuck? Break it down!", "1. Declare a constant: let myVC \n 2. Give it the class type: UIViewController \n 3. Join the protocol with &: & MyProtocol \n let myVC: UIViewController & MyProtocol"},
        .placeholder = "Tap to answer",
        .words       = {{":", "&"}},
        .colors      = {{INSTR, "In line 4, declare a constant myVC that is a UIViewController and adopts MyProtocol.", comment},
                        {L1, "protocol", pink}, {L3, "class", pink}, {L3, "UIViewController", blue},
                        {ERROR, "let myVC: UIViewController & MyProtocol", comment}},
        .autoColor   = false,
        .video       = "Khminyqpm6B",
    });
}
// clang-format on
