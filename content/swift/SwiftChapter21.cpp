// Swift course, chapter 21: checking types with is, downcasting with as? and as!, upcasting, converting
// numbers and values of type Any.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

using namespace content;
using namespace content::form;

// clang-format off
void buildSwiftChapter21(Chapter& chapter) {
    addLessonStoring(chapter, 45, {
        .id = "CH21L1", .number = 1, .title = "Type Checking",
        .instruction = "The keyword is checks whether a value is of a certain type and gives true or false. In line 6, check if player is a Human.",
        .code = R"(enum Species {
   case Human, Alien }
class Human {
   var species = Species.Human }
var player = Human()
«if player is Human»{
   print("You are one of us")
})",
        .accepted    = {kShortcutAnswer},
        .success     = "player is a Human, so the check is true and the body of the if statement runs.",
        .hint        = {"Stuck? Break it down!", "1. Check the type with is after the value \n if player is Human"},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "is", pink}, {INSTR, "In line 6, check if player is a Human.", comment}, {L1, "enum", pink},
                        {L2, "case", pink}, {L3, "class", pink}, {L4, "var", pink}, {L4, "Species", project},
                        {L4, "Human", project}, {L5, "var", pink}, {L5, "Human", project}, {L7, "print", blue},
                        {L7, R"("You are one of us")", red}, {ERROR, "if player is Human", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "You are one of us",
        .video       = "hIgYG5asRxD",
    });

    addLessonStoring(chapter, 67, {
        .id = "CH21L2", .number = 2, .title = "Downcasting with as?",
        .instruction = "Downcasting treats a value as one of its subclasses. as? tries it and gives nil when the value is not of that class, so it fits well with if let. In line 6, cast dev to iOS with as?.",
        .code = R"~(class Developer { }
class iOS: Developer { }
let devs = [Developer(), iOS()]
var iOSDevelopers = 0
for dev in devs {
   if let myDev = dev«as? iOS»{
       iOSDevelopers += 1
   }
}
print("iOS developers = \(iOSDevelopers)"))~",
        .accepted    = {kShortcutAnswer},
        .success     = "Only the second developer is an iOS developer, so the count went up once.",
        .hint        = {"Stuck? Break it down!", "1. Try the downcast with as? \n 2. Name the subclass: iOS \n as? iOS"},
        .placeholder = "Tap to answer",
        .words       = {{"!", "?"}},
        .colors      = {{INSTR, "In line 6, cast dev to iOS with as?.", comment}, {INSTR, "as?", pink}, {INSTR, "if let", pink},
                        {L1, "class", pink}, {L1, "Developer", project}, {L2, "class", pink}, {L2, "iOS", project},
                        {L2, "Developer", project}, {L3, "let", pink}, {L3, "devs", project}, {L3, "Developer()", project},
                        {L3, "iOS()", project}, {L4, "var", pink}, {L4, "iOSDevelopers", project}, {L4, "0", purple},
                        {L5, "for", pink}, {L5, " in ", pink}, {L5, "devs", project}, {L6, "if let", pink},
                        {L6, "myDev", project}, {L7, "iOSDevelopers", project}, {L7, "1", purple}, {L10, "print", blue},
                        {L10, R"~("iOS developers = \(iOSDevelopers)")~", red}, {ERROR, "as? iOS", comment},
                        {SUCCESS, "iOS", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "iOS developers = 1",
        .video       = "aCXf8a2Y32P",
    });

    addLessonStoring(chapter, 63, {
        .id = "CH21L3", .number = 3, .title = "Downcasting with as!",
        .instruction = "as! forces the downcast: it does not check first, and it stops the program when the value is not of that class. Use it only when you are sure. In line 5, force the first developer of devs to be an iOS developer.",
        .code = R"(class Developer {}
class iOS: Developer { }
let devs = [Developer(), iOS()]
// Force first dev to be iOS dev
let forcediOSDev = «devs[0] as! iOS»
print("Please stop this madness"))",
        .accepted    = {kShortcutAnswer},
        .success     = "devs[0] is a plain Developer, so the forced cast failed and the program stopped before print could run. That is the madness as! invites.",
        .hint        = {"Stuck? Break it down!", "1. Take the first developer: devs[0] \n 2. Force the downcast with as! to iOS \n devs[0] as! iOS"},
        .placeholder = "Tap to Answer",
        .words       = {{"!", "?"}},
        .colors      = {{INSTR, "In line 5, force the first developer of devs to be an iOS developer.", comment}, {INSTR, "as!", pink},
                        {L1, "class", pink}, {L1, "Developer", project}, {L2, "class", pink}, {L2, "iOS", project},
                        {L3, "let", pink}, {L3, "devs", project}, {L4, "// Force first dev to be iOS dev", comment},
                        {L5, "let", pink}, {L5, "forcediOSDev", project}, {L6, "print", blue},
                        {L6, R"("Please stop this madness")", red}, {ERROR, "devs[0] as! iOS", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Could not cast value of type 'Developer' to 'iOS'.",
        .video       = "NLdETyzbywR",
    });

    addLessonStoring(chapter, 61, {
        .id = "CH21L4", .number = 4, .title = "Implicit upcasting",
        .instruction = "An array of a UILabel and a UIButton gets their common superclass as its type: Swift upcasts both to UIView on its own. In line 4, check if view is a UIView.",
        .code = R"(let views = [UILabel(), UIButton()]
var viewsCount = 0
for view in views {
   «if view is UIView»{
       viewsCount += 1
   }
}
print(viewsCount))",
        .accepted    = {kShortcutAnswer},
        .success     = "Both views are a UIView, so viewsCount counted 2.",
        .hint        = {"Stuck? Break it down!", "1. Start an if statement with view \n 2. Check the type with is: is UIView \n \n if view is UIView"},
        .placeholder = "Tap to Answer",
        .words       = {{"!", "?"}},
        .colors      = {{INSTR, "In line 4, check if view is a UIView.", comment}, {INSTR, "UILabel", blue}, {INSTR, "UIButton", blue},
                        {INSTR, "UIView", blue}, {L1, "let", pink}, {L1, "views", project}, {L1, "UILabel", blue},
                        {L1, "UIButton", blue}, {L2, "var", pink}, {L2, "viewsCount", project}, {L2, "0", purple},
                        {L3, "for", pink}, {L3, "view", project}, {L3, " in ", pink}, {L3, "views", project},
                        {L5, "viewsCount", project}, {L5, "1", purple}, {L8, "print", blue}, {L8, "viewsCount", project},
                        {ERROR, "if view is UIView", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "2",
        .video       = "-8mO-oxo1Kd",
    });

    addLessonStoring(chapter, 62, {
        .id = "CH21L5", .number = 5, .title = "Downcasting from superclass",
        .instruction = "Going the other way, from the superclass UIView down to UILabel, needs a downcast. Only the label has text. In line 5, cast view to UILabel with as?.",
        .code = R"(let label = UILabel()
label.text = "Label me anything you want!"
let views = [label, UIDatePicker()]
for view in views {   
   if let label = «view as? UILabel»{
       var text = label.text!
       print(text)
   }
})",
        .accepted    = {kShortcutAnswer},
        .success     = "view as? UILabel found the label, so its text was printed; the date picker was skipped.",
        .hint        = {"Stuck? Break it down!", "1. Start from view \n 2. Try the downcast with as? \n 3. Name the subclass: UILabel \n \n view as? UILabel"},
        .placeholder = "Tap to Answer",
        .words       = {{"!", "?"}},
        .colors      = {{INSTR, "In line 5, cast view to UILabel with as?.", comment}, {INSTR, "UIView", blue},
                        {INSTR, "UILabel", blue}, {L1, "let", pink}, {L1, "label", project}, {L1, "UILabel", blue},
                        {L2, "label", project}, {L2, "text", blue}, {L2, R"("Label me anything you want!")", red},
                        {L3, "let", pink}, {L3, "views", project}, {L3, "label", project}, {L3, "UIDatePicker", blue},
                        {L4, "for", pink}, {L4, " in ", pink}, {L4, "views", project}, {L5, "if let", pink},
                        {L5, "label", project}, {L6, "var", pink}, {L6, "text", project}, {L7, "print", blue},
                        {L7, "text", project}, {ERROR, "view as? UILabel", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Label me anything you want!",
        .video       = "7iTyR-Pakwk",
    });

    addLessonStoring(chapter, 47, {
        .id = "CH21L6", .number = 6, .title = "Int to Double",
        .instruction = "Swift never mixes Int and Double in one sum: convert the Int first, and Double(myInt) makes a Double of it. In line 3, add myInt to myDouble as a Double.",
        .code = R"(let myInt = 5
let myDouble = 10.0
let result = myDouble +«Double(myInt)»
print(result))",
        .accepted    = {"Double (myInt)", "Double( myInt )", "Double ( myInt )", kShortcutAnswer},
        .success     = "Double(myInt) is 5.0, and 10.0 + 5.0 is 15.0.",
        .hint        = {"Stuck? Break it down!", "Convert myInt with the Double initializer before adding it. \n \n Double(myInt)"},
        .placeholder = "Tap to Answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 3, add myInt to myDouble as a Double.", comment}, {L1, "let", pink}, {L1, "5", purple},
                        {L2, "let", project}, {L2, "let", pink}, {L2, "10.0", purple}, {L3, "myDouble", project},
                        {L3, "let", pink}, {L4, "in", pink}, {L4, "print", blue}, {L4, "result", project},
                        {ERROR, "Double(myInt)", comment}, {ERROR, "Double", blue}, {ERROR, "myInt", project}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "15.0",
        .video       = "oLeaDu4EHwy",
    });

    addLessonStoring(chapter, 47, {
        .id = "CH21L7", .number = 7, .title = "If let & type casting",
        .instruction = "An array of type [Any] can hold values of every type, and as? finds out what each one is. In line 5, cast item to Int with as?.",
        .code = R"(var group = [Any]()
group.append("hello")
group.append(5)
for item in group {
   if let anInt = «item as? Int»{
       print("Found Int: " + String(anInt))
   }
})",
        .accepted    = {kShortcutAnswer},
        .success     = R"("hello" is no Int and was skipped; 5 is, so it was printed.)",
        .hint        = {"Stuck? Break it down!", "1. Start from item \n 2. Try the cast to Int with as? \n \n item as? Int"},
        .placeholder = "Tap to Answer",
        .words       = {{"!", "?"}},
        .colors      = {{INSTR, "In line 5, cast item to Int with as?.", comment}, {INSTR, "Any", pink}, {L1, "var", pink},
                        {L1, "group", project}, {L1, "Any", pink}, {L2, "group", project}, {L2, "append", blue},
                        {L2, R"("hello")", red}, {L3, "group", project}, {L3, "append", blue}, {L3, "5", purple},
                        {L4, "for", pink}, {L4, "item", project}, {L4, " in ", pink}, {L5, "if let", pink},
                        {L6, "print", blue}, {L6, R"("Found Int: ")", red}, {ERROR, "item as? Int", comment}},
        .autoColor   = false,
        .debugger    = true,
        .printValue  = "Found Int: 5",
        .search      = "Any type",
        .video       = "qott9AIpx5i",
    });

    addLessonStoring(chapter, 47, {
        .id = "CH21L8", .number = 8, .title = "Downcasting in SpriteKit",
        .instruction = "In a SpriteKit game the view of the view controller really is an SKView, but its type says UIView, so you force the downcast. In line 2, cast self.view to SKView with as!.",
        .code = R"(class GameViewController: UIViewController {
   override func viewDidLoad() { let skView =«self.view as! SKView»
} })",
        .accepted    = {"view as! SKView", kShortcutAnswer},
        .success     = "skView is the game's SKView, ready to show a SpriteKit scene. You finished the type casting chapter!",
        .hint        = {"Stuck? Break it down!", "1. Start from the view: self.view \n 2. Force the downcast with as! to SKView \n \n self.view as! SKView"},
        .placeholder = "Tap to Answer",
        .words       = {{"!", "?"}},
        .colors      = {{INSTR, "SpriteKit", blue}, {INSTR, "In line 2, cast self.view to SKView with as!.", comment},
                        {L1, "class", pink}, {L1, "UIViewController", blue}, {L2, "let", pink},
                        {ERROR, "self.view as! SKView", comment}},
        .autoColor   = false,
        .video       = "5sdq2QhzmiV",
    });
}
// clang-format on
