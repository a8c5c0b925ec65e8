// Swift course, chapter 18: stored, lazy, computed and observed properties, overriding and final.
#include "content/LessonForm.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <algorithm>

using namespace content;
using namespace content::form;

namespace {

std::string withoutBlanks(std::string_view answer) {
    std::string text(answer);
    std::erase(text, ' ');
    return text;
}

} // namespace

// clang-format off
void buildSwiftChapter18(Chapter& chapter) {
    addLesson(chapter, {
        .id = "CH18L1", .number = 1, .title = "Constant stored properties",
        .instruction = "Properties store values as part of a struct or class. A let property is a constant: once the instance is made it never changes. In line 4, create a variable triangle as a Shape with 3 sides.",
        .code = R"(struct Shape {
   let sides: Int
}
«var triangle = Shape(sides: 3)»
print(triangle.sides))",
        .accepted    = {"var triangle=Shape(sides: 3)", "var triangle = Shape(sides:3)", "var triangle=Shape(sides:3)", "var triangle: Shape = Shape(sides: 3)", "var triangle:Shape = Shape(sides: 3)", "var triangle:Shape = Shape(sides:3)", "var triangle:Shape=Shape(sides:3)"},
        .success     = "sides is a constant: triangle will have 3 sides for good.",
        .hint        = {"Stuck? Break it down!", "1. Create a variable: var triangle = \n 2. Call the initializer with 3 sides: Shape(sides: 3) \n var triangle = Shape(sides: 3)"},
        .wrong       = {{"Stuck?", "You are on the right track, keep going!", ":", true}},
        .placeholder = "Tap to answer",
        .words       = {{"(", "=", ":", ")"}},
        .colors      = {{INSTR, "In line 4", comment}, {INSTR, "let", pink}, {INSTR, "3", purple},
                        {INSTR, "struct", pink}, {INSTR, "class", pink}, {INSTR, "triangle", project},
                        {INSTR, "Shape", project}, {L1, "struct", pink}, {L1, "Shape", project}, {L2, "Int", blue},
                        {L2, "let", pink}, {L2, "sides", project}, {L5, "print", blue}, {L5, "sides", project},
                        {SUCCESS, "triangle", project}, {SUCCESS, "3", purple}, {SUCCESS, "sides", project},
                        {ERROR, "var triangle = Shape(sides: 3)", comment}, {ERROR, "Shape", project},
                        {INSTR, "type char", blue}, {L4, "'H'", purple}, {L5, "char", pink},
                        {SUCCESS, "var triangle = Shape(sides: 3)", comment},
                        {INSTR, "var triangle = Shape(sides: 3)", comment},
                        {L1, "var triangle = Shape(sides: 3)", comment},
                        {L2, "var triangle = Shape(sides: 3)", comment},
                        {L3, "var triangle = Shape(sides: 3)", comment},
                        {L4, "var triangle = Shape(sides: 3)", comment},
                        {L5, "var triangle = Shape(sides: 3)", comment},
                        {L6, "var triangle = Shape(sides: 3)", comment},
                        {L7, "var triangle = Shape(sides: 3)", comment},
                        {L8, "var triangle = Shape(sides: 3)", comment},
                        {L9, "var triangle = Shape(sides: 3)", comment},
                        {L10, "var triangle = Shape(sides: 3)", comment}, {SUCCESS, "var", pink}, {L1, "var", pink},
                        {L2, "var", pink}, {L3, "var", pink}, {L4, "var", pink}, {L5, "var", pink},
                        {L6, "var", pink}, {L7, "var", pink}, {L8, "var", pink}, {L9, "var", pink},
                        {L10, "var", pink}, {L1, "triangle", project}, {L2, "triangle", project},
                        {L3, "triangle", project}, {L4, "triangle", project}, {L6, "triangle", project},
                        {L7, "triangle", project}, {L8, "triangle", project}, {L9, "triangle", project},
                        {L10, "triangle", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "3",
        .video       = "R_Z49hgN10I",
    });

    addLesson(chapter, {
        .id = "CH18L2", .number = 2, .title = "Lazy stored properties",
        .instruction = "A lazy property gets its value only the first time it is used, which saves work when the value is costly or may never be needed. In line 3, declare a lazy variable personalGreeting of type String.",
        .code = R"(class Person {
   var name: String
   «lazy var personalGreeting: String»= {
       return "Hello \(self.name)!" }()
   init(name: String) {
       self.name = name }
}
let artist = Person(name: "Mira Castell")
// artist.personalGreeting is nil
print(artist.personalGreeting))",
        .accepted    = {"lazy var personalGreeting:String"},
        .success     = "The greeting was made the moment it was first printed.",
        .hint        = {"Stuck? Break it down!", "1. Mark the property lazy: lazy var \n 2. Name it and give its type: personalGreeting: String \n lazy var personalGreeting: String"},
        .placeholder = "Tap to answer",
        .words       = {{"!", ":"}},
        .colors      = {{INSTR, "In line 3, declare a lazy variable personalGreeting of type String.", comment},
                        {INSTR, "lazy", pink}, {INSTR, "String", blue}, {INSTR, "personalGreeting", project},
                        {INSTR, "3", purple}, {L1, "class", pink}, {L1, "Person", project}, {L2, "var", pink},
                        {L2, "name", project}, {L2, "String", blue}, {L4, "return", pink},
                        {L4, R"("Hello \(self.name)!")", red}, {L5, "init", pink}, {L5, "name", project},
                        {L5, "String", blue}, {L6, "self", pink}, {L6, "name", project}, {L8, "let", pink},
                        {L8, "artist", project}, {L8, "Person", project}, {L8, "name", project},
                        {L8, R"("Mira Castell")", red}, {L9, "// artist.personalGreeting is nil", comment},
                        {L10, "print", blue}, {L10, "artist", project}, {L10, "personalGreeting", project},
                        {SUCCESS, "greeting", project}, {SUCCESS, "printed", blue},
                        {ERROR, "lazy var personalGreeting: String", comment}, {ERROR, "lazy var", pink},
                        {ERROR, "String", blue}, {ERROR, "personalGreeting", project}, {ERROR, "lazy", pink},
                        {SUCCESS, "lazy var personalGreeting: String", comment},
                        {INSTR, "lazy var personalGreeting: String", comment},
                        {L1, "lazy var personalGreeting: String", comment},
                        {L2, "lazy var personalGreeting: String", comment},
                        {L3, "lazy var personalGreeting: String", comment},
                        {L4, "lazy var personalGreeting: String", comment},
                        {L5, "lazy var personalGreeting: String", comment},
                        {L6, "lazy var personalGreeting: String", comment},
                        {L7, "lazy var personalGreeting: String", comment},
                        {L8, "lazy var personalGreeting: String", comment},
                        {L9, "lazy var personalGreeting: String", comment},
                        {L10, "lazy var personalGreeting: String", comment}, {SUCCESS, "lazy", pink},
                        {L1, "lazy", pink}, {L2, "lazy", pink}, {L3, "lazy", pink}, {L4, "lazy", pink},
                        {L5, "lazy", pink}, {L6, "lazy", pink}, {L7, "lazy", pink}, {L8, "lazy", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Hello Mira Castell!",
        .video       = "js_IT5AGmv1",
    });

    addLesson(chapter, {
        .id = "CH18L3", .number = 3, .title = "Default property values",
        .instruction = "A stored property can get its default value right where it is declared, so init does not have to set it. In line 3, add a variable completed that starts as false.",
        .code = R"(class Goal {
   var name: String
   «var completed = false»
   init(name: String) {
       self.name = name
   }
}
var myGoal = Goal(name: "Launch #1 Swift app")
print(myGoal.completed))",
        .lines       = 9,
        .padTo       = 10,
        .accepted    = {"var completed=false", "var completed: Bool = false", "var completed:Bool = false", "var completed: Bool=false", "var completed:Bool=false"},
        .success     = "Every new goal starts out not completed.",
        .hint        = {"Stuck? Break it down!", "1. Declare the variable: var completed \n 2. Give it the default value false \n var completed = false"},
        .placeholder = "Tap to answer",
        .words       = {{"=", ":"}},
        .colors      = {{INSTR, "In line 3, add a variable completed that starts as false.", comment},
                        {INSTR, "false", pink}, {INSTR, "init", pink}, {INSTR, "3", purple}, {L1, "class", pink},
                        {L1, "Goal", project}, {L2, "var", pink}, {L2, "name", project}, {L2, "String", blue},
                        {L4, "init", pink}, {L4, "name", project}, {L4, "String", blue}, {L5, "self", pink},
                        {L5, "name", project}, {L8, "var", pink}, {L8, "myGoal", project}, {L8, "name", project},
                        {L8, R"("Launch #1 Swift app")", red}, {L9, "print", blue}, {L9, "myGoal", project},
                        {L9, "completed", project}, {SUCCESS, "completed", project},
                        {ERROR, "var completed = false", comment}, {SUCCESS, "var completed = false", comment},
                        {INSTR, "var completed = false", comment}, {L1, "var completed = false", comment},
                        {L2, "var completed = false", comment}, {L3, "var completed = false", comment},
                        {L4, "var completed = false", comment}, {L5, "var completed = false", comment},
                        {L6, "var completed = false", comment}, {L7, "var completed = false", comment},
                        {L8, "var completed = false", comment}, {L9, "var completed = false", comment},
                        {L10, "var completed = false", comment}, {L1, "completed", project},
                        {L2, "completed", project}, {L3, "completed", project}, {L4, "completed", project},
                        {L5, "completed", project}, {L6, "completed", project}, {L7, "completed", project},
                        {L8, "completed", project}, {L10, "completed", project}, {SUCCESS, "false", pink},
                        {L1, "false", pink}, {L2, "false", pink}, {L3, "false", pink}, {L4, "false", pink},
                        {L5, "false", pink}, {L6, "false", pink}, {L7, "false", pink}, {L8, "false", pink},
                        {L9, "false", pink}, {L10, "false", pink}, {SUCCESS, "var", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "false",
        .video       = "vaDHqPUw_WU",
    });

    addLesson(chapter, {
        .id = "CH18L4", .number = 4, .title = "Default initialization",
        .instruction = R"(Instead of a default where the property is declared, init can set the starting value. In line 6, set name to "Apple HQ".)",
        .code = R"(class Location {
   var name: String
   var latitude: Double
   var longitude: Double
   init() {
       «name = "Apple HQ"»
       latitude = 37.3318
       longitude = 122.0312 } }
let myLocation = Location()
print(myLocation.name))",
        .accepted    = {R"(self.name = "Apple HQ")", R"(self.name="Apple HQ")", R"(name="Apple HQ")"},
        .success     = "Every Location starts at Apple HQ.",
        .hint        = {"Stuck? Break it down!", R"(1. Assign the text to name: name = "Apple HQ")"},
        .placeholder = "Tap to answer",
        .words       = {{".", "=", R"(")"}},
        .colors      = {{INSTR, R"(In line 6, set name to "Apple HQ".)", comment}, {INSTR, "init", pink},
                        {INSTR, R"("Apple HQ")", red}, {L1, "class", pink}, {L1, "Location", project},
                        {L2, "var", pink}, {L2, "name", project}, {L2, "String", blue}, {L3, "var", pink},
                        {L3, "latitude", project}, {L3, "Double", blue}, {L4, "var", pink},
                        {L4, "longitude", project}, {L4, "Double", blue}, {L5, "init", pink},
                        {L7, "latitude", project}, {L7, "37.3318", purple}, {L8, "longitude", project},
                        {L8, "122.0312", purple}, {L9, "let", pink}, {L9, "myLocation", project},
                        {L10, "print", blue}, {L10, "myLocation", project}, {SUCCESS, "Location", project},
                        {ERROR, R"(name = "Apple HQ")", comment}, {SUCCESS, R"(name = "Apple HQ")", comment},
                        {INSTR, R"(name = "Apple HQ")", comment}, {L1, R"(name = "Apple HQ")", comment},
                        {L2, R"(name = "Apple HQ")", comment}, {L3, R"(name = "Apple HQ")", comment},
                        {L4, R"(name = "Apple HQ")", comment}, {L5, R"(name = "Apple HQ")", comment},
                        {L6, R"(name = "Apple HQ")", comment}, {L7, R"(name = "Apple HQ")", comment},
                        {L8, R"(name = "Apple HQ")", comment}, {L9, R"(name = "Apple HQ")", comment},
                        {L10, R"(name = "Apple HQ")", comment}, {SUCCESS, "name", project}, {L1, "name", project},
                        {L3, "name", project}, {L4, "name", project}, {L5, "name", project}, {L6, "name", project},
                        {L7, "name", project}, {L8, "name", project}, {L9, "name", project},
                        {SUCCESS, R"("Apple HQ")", red}, {L1, R"("Apple HQ")", red}, {L2, R"("Apple HQ")", red},
                        {L3, R"("Apple HQ")", red}, {L4, R"("Apple HQ")", red}, {L5, R"("Apple HQ")", red},
                        {L6, R"("Apple HQ")", red}, {L7, R"("Apple HQ")", red}, {L8, R"("Apple HQ")", red},
                        {L9, R"("Apple HQ")", red}, {L10, R"("Apple HQ")", red}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Apple HQ",
        .video       = "nsvV28H-sy0",
    });

    addLesson(chapter, {
        .id = "CH18L5", .number = 5, .title = "Computed property",
        .instruction = "A computed property works its value out instead of storing it. Here the area of an equilateral triangle is set from the length of its sides. In line 4, declare the area as a Double.",
        .code = R"~(class Triangle {
   var sides = 3
   var sideA, sideB, sideC: Double
   «var area: Double»
   init(equilateralLength: Double) {
       self.sideA = equilateralLength
       self.sideB = sideA; self.sideC = sideA
       self.area = (sqrt(3)/4) * pow(sideA,2) } }
var myTriangle = Triangle(equilateralLength: 10)
print("Area = \(myTriangle.area)"))~",
        .accepted    = {"var area:Double"},
        .success     = "The area of a triangle with sides of 10.",
        .hint        = {"Stuck? Break it down!", "1. Declare the variable: var area \n 2. Give it the type Double \n var area: Double"},
        .placeholder = "Tap to answer",
        .words       = {{"!", ":"}},
        .colors      = {{INSTR, "In line 4, declare the area as a Double.", comment}, {INSTR, "Double", blue},
                        {L1, "class", pink}, {L1, "Triangle", project}, {L2, "var", pink}, {L2, "sides", project},
                        {L2, "3", purple}, {L3, "var", pink}, {L3, "sideA", project}, {L3, "sideB", project},
                        {L3, "sideC", project}, {L3, "Double", blue}, {L5, "init", pink},
                        {L5, "equilateralLength", project}, {L5, "Double", blue}, {L6, "self", pink},
                        {L6, "sideA", project}, {L6, "equilateralLength", project}, {L7, "self", pink},
                        {L7, "sideB", project}, {L7, "sideA", project}, {L8, "self", pink}, {L8, "sqrt", blue},
                        {L8, "3", purple}, {L8, "4", purple}, {L8, "pow", blue}, {L8, "2", purple},
                        {L9, "var", pink}, {L9, "10", purple}, {L10, "print", blue},
                        {L10, R"~("Area = \(myTriangle.area)")~", red}, {SUCCESS, "10", purple},
                        {SUCCESS, "triangle", project}, {ERROR, "var area: Double", comment},
                        {ERROR, "Double", blue}, {SUCCESS, "var area: Double", comment},
                        {INSTR, "var area: Double", comment}, {L1, "var area: Double", comment},
                        {L2, "var area: Double", comment}, {L3, "var area: Double", comment},
                        {L4, "var area: Double", comment}, {L5, "var area: Double", comment},
                        {L6, "var area: Double", comment}, {L7, "var area: Double", comment},
                        {L8, "var area: Double", comment}, {L9, "var area: Double", comment},
                        {L10, "var area: Double", comment}, {L1, "area", project}, {L2, "area", project},
                        {L3, "area", project}, {L4, "area", project}, {L5, "area", project}, {L6, "area", project},
                        {L7, "area", project}, {L9, "area", project}, {SUCCESS, "var", pink}, {INSTR, "var", pink},
                        {L1, "var", pink}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Area = 43.30127018922193",
        .video       = "jilgmE1VQy3",
    });

    addLesson(chapter, {
        .id = "CH18L6", .number = 6, .title = "Getters and setters",
        .instruction = "A computed property can have a getter, get, that works out its value and a setter, set, that updates other properties when it is assigned. Here mph is computed from kmh. In line 2, declare the stored property kmh as a Float starting at 0.",
        .code = R"~(class Speed {
   «var kmh: Float = 0»
   var mph: Float {
       get { return kmh / 1.6 }
       set { kmh = newValue * 1.6 } }
   init(mph: Float) { self.mph = mph }
   init(kmh: Float) { self.kmh = kmh }
}
var mySpeed = Speed(mph: 25)
print("Speed in km/h: \(mySpeed.kmh)"))~",
        .accepted    = {"var kmh:Float = 0", "var kmh: Float=0", "var kmh:Float=0"},
        .success     = "Setting mph to 25 made the setter store 40 km/h.",
        .hint        = {"Stuck? Break it down!", "Declare a Float variable with the value 0. \n var kmh: Float = 0"},
        .placeholder = "Tap to answer",
        .words       = {{":", "="}},
        .colors      = {{INSTR, "In line 2, declare the stored property kmh as a Float starting at 0.", comment},
                        {INSTR, "get", pink}, {INSTR, "set", pink}, {INSTR, "Float", blue}, {L1, "class", pink},
                        {L1, "Speed", project}, {L3, "var", pink}, {L3, "mph", project}, {L3, "Float", blue},
                        {L4, "get", pink}, {L4, "return", pink}, {L4, "kmh", project}, {L4, "1.6", purple},
                        {L5, "set", pink}, {L5, "kmh", project}, {L5, "newValue", pink}, {L5, "1.6", purple},
                        {L6, "init", pink}, {L6, "mph", project}, {L6, "Float", blue}, {L6, "self", pink},
                        {L7, "init", pink}, {L7, "kmh", project}, {L7, "Float", blue}, {L7, "self", pink},
                        {L9, "var", pink}, {L9, "mySpeed", project}, {L9, "mph", project}, {L9, "25", purple},
                        {L10, "print", blue}, {L10, R"~("Speed in km/h: \(mySpeed.kmh)")~", red},
                        {SUCCESS, "mph", project}, {SUCCESS, "25", purple}, {ERROR, "var kmh: Float = 0", comment},
                        {SUCCESS, "var kmh: Float = 0", comment}, {INSTR, "var kmh: Float = 0", comment},
                        {L1, "var kmh: Float = 0", comment}, {L2, "var kmh: Float = 0", comment},
                        {L3, "var kmh: Float = 0", comment}, {L4, "var kmh: Float = 0", comment},
                        {L5, "var kmh: Float = 0", comment}, {L6, "var kmh: Float = 0", comment},
                        {L7, "var kmh: Float = 0", comment}, {L8, "var kmh: Float = 0", comment},
                        {L9, "var kmh: Float = 0", comment}, {L10, "var kmh: Float = 0", comment},
                        {SUCCESS, "kmh", project}, {L1, "kmh", project}, {L2, "kmh", project}, {L3, "kmh", project},
                        {L6, "kmh", project}, {L8, "kmh", project}, {L9, "kmh", project}, {SUCCESS, "Float", blue},
                        {L1, "Float", blue}, {L2, "Float", blue}, {L4, "Float", blue}, {L5, "Float", blue},
                        {L8, "Float", blue}, {L9, "Float", blue}, {L10, "Float", blue}, {SUCCESS, "var", pink},
                        {INSTR, "var", pink}, {L1, "var", pink}, {L2, "var", pink}, {L4, "var", pink},
                        {L5, "var", pink}, {L6, "var", pink}, {L7, "var", pink}, {L8, "var", pink},
                        {L10, "var", pink}, {ERROR, "mph", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Speed in km/h: 40.0",
        .video       = "Mn1DzCBzfov",
    });

    // The last accepted form is the answer with every blank removed, derived so it always matches it.
    auto setter = addLesson(chapter, {
        .id = "CH18L7", .number = 7, .title = "Getters and setters x 2",
        .instruction = "Now write a setter yourself. Inside set, the new value is called newValue. In line 5, please create the setter which updates the value of x the moment xTimesTwo gets set to a new value.",
        .code = R"(class SimpleMath {
   var x: Float = 0
   var xTimesTwo: Float {
       get { return x * 2 }
       «set { x = newValue / 2 }»
   }
}
var myNumber = SimpleMath()
myNumber.xTimesTwo = 500
print(myNumber.x))",
        .accepted    = {"set { x = newValue / 2 }", "set {x = newValue / 2}", "set{ x = newValue / 2 }", "set{x = newValue / 2}", "set {x=newValue/2}", "set { x = newValue/2 }", "set { x=newValue/2 }", "set{ x=newValue/2 }", "set {x = newValue/2 }", "set {x = newValue/2}", "set{x = newValue/2}", "set {x = newValue/2}", "set { x = newValue/2}"},
        .success     = "xTimesTwo was set to 500, so the setter made x 250. Next: willSet and didSet.",
        .hint        = {"Stuck? Break it down!", "1. Write the setter keyword with braces: set { } \n 2. Update x from the default name newValue: x = newValue / 2 \n set { x = newValue / 2 }"},
        .placeholder = "Tap to answer",
        .words       = {{"{", "=", "/", "}"}},
        .colors      = {{INSTR, "In line 5, please create the setter which updates the value of x the moment xTimesTwo gets set to a new value.", comment},
                        {INSTR, "x", project}, {INSTR, "newValue", pink}, {INSTR, "xTimesTwo", project},
                        {L1, "class", pink}, {L1, "SimpleMath", project}, {L2, "var", pink}, {L2, "x", project},
                        {L2, "Float", blue}, {L2, "0", purple}, {L3, "var", pink}, {L3, "xTimesTwo", project},
                        {L3, "Float", blue}, {L4, "get", pink}, {L4, "return", pink}, {L4, "x", project},
                        {L4, "2", purple}, {L8, "var", pink}, {L8, "myNumber", project}, {L8, "SimpleMath", project},
                        {L9, "500", purple}, {L9, "myNumber", project}, {L9, "xTimesTwo", project},
                        {L10, "myNumber", project}, {L10, "print", blue}, {L10, "x", project},
                        {SUCCESS, "willSet", pink}, {SUCCESS, "500", purple}, {SUCCESS, "250", purple},
                        {ERROR, "set { x = newValue / 2 }", comment}, {ERROR, "newValue", pink},
                        {SUCCESS, "set { x = newValue / 2 }", comment}, {INSTR, "set { x = newValue / 2 }", comment},
                        {L1, "set { x = newValue / 2 }", comment}, {L2, "set { x = newValue / 2 }", comment},
                        {L3, "set { x = newValue / 2 }", comment}, {L4, "set { x = newValue / 2 }", comment},
                        {L5, "set { x = newValue / 2 }", comment}, {L6, "set { x = newValue / 2 }", comment},
                        {L7, "set { x = newValue / 2 }", comment}, {L8, "set { x = newValue / 2 }", comment},
                        {L9, "set { x = newValue / 2 }", comment}, {L10, "set { x = newValue / 2 }", comment},
                        {L1, "set", pink}, {L2, "set", pink}, {L3, "set", pink}, {L4, "set", pink},
                        {L5, "set", pink}, {L6, "set", pink}, {L7, "set", pink}, {L8, "set", pink},
                        {L9, "set", pink}, {L10, "set", pink}, {SUCCESS, "newValue", pink}, {L1, "newValue", pink},
                        {L2, "newValue", pink}, {L3, "newValue", pink}, {L4, "newValue", pink},
                        {L5, "newValue", pink}, {L6, "newValue", pink}, {L7, "newValue", pink},
                        {L8, "newValue", pink}, {L9, "newValue", pink}, {L10, "newValue", pink}, {L1, "x", project},
                        {L5, "x", project}, {L6, "x", project}, {L7, "x", project}, {L8, "x", project},
                        {ERROR, "xTimesTwo", project}, {L1, "xTimesTwo", project}, {L2, "xTimesTwo", project},
                        {L4, "xTimesTwo", project}, {L5, "xTimesTwo", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "250.0",
        .video       = "1QTrn5oebCA",
    });
    setter->acceptedAnswers.push_back(withoutBlanks(setter->answer));

    addLesson(chapter, {
        .id = "CH18L8", .number = 8, .title = "Property observers",
        .instruction = "Property observers react to changes of a property: willSet runs just before the new value is stored, didSet right after. In line 3, add a didSet or willSet property and see what happens.",
        .code = R"(class Wizard {
   var mana: Int {
   «didSet»{
       if mana >= 101 { mana = 100 } } 
   }
   init(mana: Int) { self.mana = mana }
}
let morgana = Wizard(mana: 80)
morgana.mana = 500
print(morgana.mana))",
        .accepted    = {"willSet"},
        .hint        = {"Stuck? Break it down!", "Try the observer willSet or the observer didSet."},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "In line 3, add a didSet or willSet property and see what happens.", comment},
                        {INSTR, "willSet", pink}, {INSTR, "didSet", pink}, {L1, "class", pink},
                        {L1, "Wizard", project}, {L2, "var", pink}, {L2, "mana", project}, {L2, "Int", blue},
                        {L4, "101", purple}, {L4, "if", pink}, {L4, "mana", project}, {L4, "100", purple},
                        {L6, ".mana", project}, {L6, "init", pink}, {L6, "mana", project}, {L6, "Int", blue},
                        {L6, "self", pink}, {L8, "let", pink}, {L8, "morgana", project}, {L8, "Wizard", project},
                        {L8, "mana", project}, {L8, "80", purple}, {L9, "morgana", project}, {L9, "mana", project},
                        {L9, "500", purple}, {L10, "print", blue}, {L10, "morgana", project}, {L10, "mana", project},
                        {SUCCESS, "after", comment}, {SUCCESS, "before", comment}, {SUCCESS, "didSet", pink},
                        {SUCCESS, "500", purple}, {SUCCESS, "100", purple}, {ERROR, "didSet", pink},
                        {L1, "didSet", pink}, {L2, "didSet", pink}, {L3, "didSet", pink}, {L4, "didSet", pink},
                        {L5, "didSet", pink}, {L6, "didSet", pink}, {L7, "didSet", pink}, {L8, "didSet", pink},
                        {L9, "didSet", pink}, {L10, "didSet", pink}, {L1, "willSet", pink}, {L2, "willSet", pink},
                        {L3, "willSet", pink}, {L4, "willSet", pink}, {L5, "willSet", pink}, {L6, "willSet", pink},
                        {L7, "willSet", pink}, {L8, "willSet", pink}, {L9, "willSet", pink}, {L10, "willSet", pink},
                        {ERROR, "mana", project}, {INSTR, "mana", project}, {L1, "mana", project},
                        {L3, "mana", project}, {L5, "mana", project}, {L7, "mana", project},
                        {SUCCESS, "Wizard", project}, {ERROR, "Wizard", project}, {INSTR, "Wizard", project},
                        {L2, "Wizard", project}, {L3, "Wizard", project}, {L4, "Wizard", project},
                        {L5, "Wizard", project}, {L6, "Wizard", project}, {L7, "Wizard", project},
                        {L9, "Wizard", project}, {L10, "Wizard", project}, {SUCCESS, "morgana", project},
                        {ERROR, "morgana", project}, {INSTR, "morgana", project}, {L1, "morgana", project},
                        {L2, "morgana", project}, {L3, "morgana", project}, {L4, "morgana", project},
                        {L5, "morgana", project}, {L6, "morgana", project}, {L7, "morgana", project}},
        .autoColor   = false,
        .debugger    = true,
        .blankDebugTexts = true,
        .outputs     = {{"didSet", "100", "The didSet observer fired after mana was set to 500 and put it back to 100."},
                        {"willSet", "500", "The willSet observer fires before mana is set, so the value was not updated as expected."}},
        .video       = "-Tu6VONs24u",
    });

    addLesson(chapter, {
        .id = "CH18L9", .number = 9, .title = "Override properties",
        .instruction = "A subclass can override a computed property of its superclass with override var. In line 5, declare a class SecurePassword that inherits from Password.",
        .code = R"(class Password {
   var minChars: Int = 6
   var minSymbols: Int { return 0 }
}
«class SecurePassword: Password»{
   override var minSymbols: Int { return 2 }
   override init() {
       super.init()
       self.minChars = 12
} })",
        .accepted    = {"class SecurePassword:Password"},
        .success     = "A secure password needs 12 characters and 2 symbols.",
        .hint        = {"Stuck? Break it down!", "1. Declare the class: class SecurePassword \n 2. Name the superclass after a colon: Password \n class SecurePassword: Password"},
        .placeholder = "Tap to answer",
        .words       = {{":", "="}},
        .colors      = {{INSTR, "In line 5, declare a class SecurePassword that inherits from Password.", comment},
                        {INSTR, "override var", pink}, {L1, "class", pink}, {L1, "Password", project},
                        {L2, "var", pink}, {L2, "minChars", project}, {L2, "Int", blue}, {L2, "6", purple},
                        {L3, "var", pink}, {L3, "minSymbols", project}, {L3, "Int", blue}, {L3, "return", pink},
                        {L3, "0", purple}, {L6, "override", pink}, {L6, "var", pink}, {L6, "Int", blue},
                        {L6, "return", pink}, {L6, "2", purple}, {L7, "override", pink}, {L7, "init", pink},
                        {L8, "super", pink}, {L8, "init", pink}, {L9, "self", pink}, {L9, "12", purple},
                        {SUCCESS, "12", purple}, {SUCCESS, "2", purple},
                        {ERROR, "class SecurePassword: Password", comment},
                        {SUCCESS, "class SecurePassword: Password", comment},
                        {INSTR, "class SecurePassword: Password", comment},
                        {L1, "class SecurePassword: Password", comment},
                        {L2, "class SecurePassword: Password", comment},
                        {L3, "class SecurePassword: Password", comment},
                        {L4, "class SecurePassword: Password", comment},
                        {L5, "class SecurePassword: Password", comment},
                        {L6, "class SecurePassword: Password", comment},
                        {L7, "class SecurePassword: Password", comment},
                        {L8, "class SecurePassword: Password", comment},
                        {L9, "class SecurePassword: Password", comment},
                        {L10, "class SecurePassword: Password", comment}, {SUCCESS, "SecurePassword", project},
                        {L1, "SecurePassword", project}, {L2, "SecurePassword", project},
                        {L3, "SecurePassword", project}, {L4, "SecurePassword", project},
                        {L5, "SecurePassword", project}, {L6, "SecurePassword", project},
                        {L7, "SecurePassword", project}, {L8, "SecurePassword", project},
                        {L9, "SecurePassword", project}, {L10, "SecurePassword", project},
                        {SUCCESS, "Password", project}, {L2, "Password", project}, {L3, "Password", project},
                        {L4, "Password", project}, {L5, "Password", project}, {L6, "Password", project},
                        {L7, "Password", project}, {L8, "Password", project}, {L9, "Password", project},
                        {L10, "Password", project}, {SUCCESS, "class", pink}, {L2, "class", pink},
                        {L3, "class", pink}, {L4, "class", pink}, {L5, "class", pink}, {L6, "class", pink},
                        {L7, "class", pink}, {L8, "class", pink}, {L9, "class", pink}, {L10, "class", pink},
                        {SUCCESS, "override", pink}, {ERROR, "override", pink}, {L1, "override", pink},
                        {L2, "override", pink}, {L3, "override", pink}, {L4, "override", pink},
                        {L5, "override", pink}, {L8, "override", pink}, {L9, "override", pink},
                        {L10, "override", pink}, {SUCCESS, "minSymbols", project}},
        .autoColor   = false,
        .printValue  = "",
        .video       = "bqOmDZKPLQy",
    });

    addLesson(chapter, {
        .id = "CH18L10", .number = 10, .title = "Preventing overrides",
        .instruction = "Mark a property final and no subclass can override it. In line 3, declare minSymbols as a final variable of type Int.",
        .code = R"(class Password {
   let minChars: Int = 6
   «final var minSymbols: Int»
       { return 0 }
})",
        .accepted    = {"final var minSymbols:Int"},
        .success     = "minSymbols can no longer be overridden. You finished the properties chapter!",
        .hint        = {"Stuck? Break it down!", "1. Put final before var \n 2. Declare the property: var minSymbols: Int \n final var minSymbols: Int"},
        .placeholder = "Tap to answer",
        .words       = {{":", "="}},
        .colors      = {{INSTR, "In line 3, declare minSymbols as a final variable of type Int.", comment},
                        {INSTR, "final", pink}, {INSTR, "Int", blue}, {INSTR, "minSymbols", project},
                        {L1, "class", pink}, {L1, "Password", project}, {L2, "let", pink}, {L2, "minChars", project},
                        {L2, "Int", blue}, {L2, "6", purple}, {L4, "return", pink}, {L4, "0", purple},
                        {SUCCESS, "minSymbols", project}, {ERROR, "final var minSymbols: Int", comment},
                        {SUCCESS, "final var minSymbols: Int", comment},
                        {INSTR, "final var minSymbols: Int", comment}, {L1, "final var minSymbols: Int", comment},
                        {L2, "final var minSymbols: Int", comment}, {L3, "final var minSymbols: Int", comment},
                        {L4, "final var minSymbols: Int", comment}, {L5, "final var minSymbols: Int", comment},
                        {L6, "final var minSymbols: Int", comment}, {L7, "final var minSymbols: Int", comment},
                        {L8, "final var minSymbols: Int", comment}, {L9, "final var minSymbols: Int", comment},
                        {L10, "final var minSymbols: Int", comment}, {SUCCESS, "final", pink}, {L1, "final", pink},
                        {L2, "final", pink}, {L3, "final", pink}, {L4, "final", pink}, {L5, "final", pink},
                        {L6, "final", pink}, {L7, "final", pink}, {L8, "final", pink}, {L9, "final", pink},
                        {L10, "final", pink}, {L1, "minSymbols", project}, {L2, "minSymbols", project},
                        {L3, "minSymbols", project}, {L4, "minSymbols", project}, {L5, "minSymbols", project},
                        {L6, "minSymbols", project}, {L7, "minSymbols", project}, {L8, "minSymbols", project},
                        {L9, "minSymbols", project}, {L10, "minSymbols", project}, {SUCCESS, "var", pink},
                        {L1, "var", pink}, {L2, "var", pink}, {L3, "var", pink}, {L4, "var", pink},
                        {L5, "var", pink}, {L6, "var", pink}, {L7, "var", pink}, {L8, "var", pink},
                        {L9, "var", pink}, {L10, "var", pink}, {SUCCESS, "Int", blue}, {L1, "Int", blue},
                        {L3, "Int", blue}, {L4, "Int", blue}, {L5, "Int", blue}, {L6, "Int", blue},
                        {L7, "Int", blue}, {L8, "Int", blue}, {L9, "Int", blue}, {L10, "Int", blue},
                        {SUCCESS, "Password", project}, {ERROR, "Password", project}, {INSTR, "Password", project},
                        {L2, "Password", project}, {L3, "Password", project}, {L4, "Password", project},
                        {L5, "Password", project}, {L6, "Password", project}, {L7, "Password", project},
                        {L8, "Password", project}, {L9, "Password", project}, {L10, "Password", project},
                        {SUCCESS, "minChars", project}},
        .autoColor   = false,
        .printValue  = "",
        .video       = "wWk-pWW2pf3",
    });
}
// clang-format on
