// Swift course, chapter 20: delegation, built up in three small programs: a greeting, a boss and
// a developer, and a sender passing data to a receiver.
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <string>
#include <vector>

using namespace content;
using namespace content::form;

namespace {

// A program shown over several lessons: each line that can hold the answer field carries its «answer»
// marks, and only line `field` keeps them, so every lesson shows the same program with its own field
// (right after the field, a brace follows without a blank, as the field leaves room of its own).
std::string programWithField(const std::vector<std::string>& lines, int field) {
    const std::string open = "«", close = "»";
    std::string code;
    for (std::size_t k = 1; k <= lines.size(); ++k) {
        std::string line = lines[k - 1];
        if (static_cast<int>(k) != field) {
            // Outside the field the code reads as written: "class Sender {", not "class Sender{".
            if (auto at = line.find(close + "{"); at != std::string::npos)
                line.replace(at, close.size(), " ");
            for (const auto& mark : {open, close})
                if (auto at = line.find(mark); at != std::string::npos) line.erase(at, mark.size());
        }
        code += (k > 1 ? "\n" : "") + line;
    }
    return code;
}

// The boss program of lessons 6 and 7.
const std::vector<std::string> kBossProgram = {"protocol BossDelegate: AnyObject {",
                                               "   func doWork(job: String) }",
                                               "class Boss {",
                                               "   weak var delegate: BossDelegate? }",
                                               "«class Developer: BossDelegate»{",
                                               "   func doWork(job: String) { print(\"Ok boss\") } }",
                                               "let boss = Boss()",
                                               "let developer = Developer()",
                                               "«boss.delegate = developer»",
                                               "boss.delegate?.doWork(job: \"Build me an app\")"};

// The sender program of lessons 9, 11, 12, 14 and 15.
const std::vector<std::string> kSenderProgram = {"«protocol SenderDelegate»{",
                                                 "   func message(data: String) }",
                                                 "«class Sender»{",
                                                 "   «var delegate: SenderDelegate?»",
                                                 "   func sendMessage() {",
                                                 "   delegate?.message(data: \"Sender data\") } }",
                                                 "«class Receiver: SenderDelegate»{",
                                                 "   «func message(data: String)»{",
                                                 "   print(\"Notified with \\(data)\") } }",
                                                 ""};

} // namespace

// clang-format off
void buildSwiftChapter20(Chapter& chapter) {
    addLessonStoring(chapter, 51, {
        .id = "CH20L1", .number = 1, .title = "Introduction",
        .instruction = "A delegate is an object that another object hands some of its work to. The work is described by a protocol, and whoever adopts it can be the delegate. In line 1, create a protocol called GreetingDelegate.",
        .code = R"(«protocol GreetingDelegate»{
   func sayHello()
})",
        .accepted    = {kShortcutAnswer},
        .success     = "GreetingDelegate describes the work: whoever adopts it must be able to sayHello().",
        .hint        = {"Stuck? Break it down!", "1. Create a protocol and name it GreetingDelegate \n protocol GreetingDelegate"},
        .wrong       = {{"Stuck?", "Remember to never give up.  Practice makes perfect", ":", true}},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "protocol", pink}, {INSTR, "In line 1, create a protocol called GreetingDelegate.", comment},
                        {SUCCESS, "GreetingDelegate", project}, {SUCCESS, "sayHello()", project},
                        {ERROR, "protocol GreetingDelegate", comment}},
        .printValue  = "3",
        .video       = "aXP6FEMAcQ_",
    });

    addLessonStoring(chapter, 60, {
        .id = "CH20L2", .number = 2, .title = "Protocol Delegate",
        .instruction = "The delegate is the class that adopts the protocol and does the work. In line 4, create a class Alien that adopts GreetingDelegate.",
        .code = R"(protocol GreetingDelegate {
   func sayHello()
}
«class Alien: GreetingDelegate»{
   func sayHello() {
       print("I like Humans") }
})",
        .accepted    = {"class Alien:GreetingDelegate", kShortcutAnswer},
        .success     = "Alien adopts GreetingDelegate, so an Alien can say hello when it is asked to.",
        .hint        = {"Stuck? Break it down!", "1. Declare a class: class Alien \n 2. Adopt the protocol after a colon: GreetingDelegate \n class Alien: GreetingDelegate"},
        .placeholder = "Tap to answer",
        .words       = {{"!", ":"}},
        .colors      = {{INSTR, "In line 4, create a class Alien that adopts GreetingDelegate.", comment}, {INSTR, "protocol", pink},
                        {L1, "GreetingDelegate", project}, {SUCCESS, "Alien", project}, {SUCCESS, "GreetingDelegate", project},
                        {ERROR, "class Alien: GreetingDelegate", comment}},
        .video       = "JVRnVwzHyk-",
    });

    addLessonStoring(chapter, 55, {
        .id = "CH20L3", .number = 3, .title = "Delegate Pattern 1/2",
        .instruction = "The delegator keeps a reference to its delegate. Any type that adopts the protocol may fill it, and there may be none, so it is an optional of the protocol type. In line 7, give Human a variable delegate of type GreetingDelegate?",
        .code = R"(protocol GreetingDelegate {
   func sayHello() }
class Alien: GreetingDelegate {
   func sayHello() {
       print("I like Humans") } }
class Human {
   «var delegate: GreetingDelegate?»
})",
        .accepted    = {"var delegate:GreetingDelegate?", kShortcutAnswer},
        .success     = "A Human can now hold any GreetingDelegate, an Alien for example, or nothing at all.",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var delegate \n 2. Its type is the protocol, made optional: GreetingDelegate? \n var delegate: GreetingDelegate?"},
        .placeholder = "Tap to answer",
        .words       = {{":", "?"}},
        .colors      = {{INSTR, "In line 7, give Human a variable delegate of type GreetingDelegate?", comment},
                        {L1, "GreetingDelegate", project}, {L3, "Alien", project}, {L3, "GreetingDelegate", project},
                        {L6, "Human", project}, {SUCCESS, "GreetingDelegate", project}, {SUCCESS, "Alien", project},
                        {ERROR, "var delegate: GreetingDelegate?", comment}},
        .video       = "LvfuBvCacQk",
    });

    addLessonStoring(chapter, 61, {
        .id = "CH20L4", .number = 4, .title = "Delegate Pattern 2/2",
        .instruction = "Now connect the two: person hands its greeting to an Alien, and greet() calls sayHello() on whatever delegate it has. In line 9, set the delegate of person to a new Alien.",
        .code = R"(protocol GreetingDelegate {
   func sayHello() }
class Alien: GreetingDelegate {
   func sayHello() { print("I like Humans") } }
class Human {
   var delegate: GreetingDelegate?
   func greet() { delegate?.sayHello() } }
let person = Human()
«person.delegate = Alien()»
person.greet())",
        .accepted    = {"person.delegate=Alien()", kShortcutAnswer},
        .success     = "person.greet() handed the work to its delegate, and the Alien said hello.",
        .hint        = {"Stuck? Break it down!", "1. Reach the delegate of person with dot notation: person.delegate \n 2. Assign a new Alien: = Alien() \n person.delegate = Alien()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ".", "=", ")"}},
        .colors      = {{INSTR, "In line 9, set the delegate of person to a new Alien.", comment}, {INSTR, "greet()", project},
                        {INSTR, "sayHello()", project}, {L1, "GreetingDelegate", project}, {L3, "Alien", project},
                        {L3, "GreetingDelegate", project}, {L5, "Human", project}, {L6, "GreetingDelegate", project},
                        {L8, "Human()", project}, {SUCCESS, "person.greet()", project}, {SUCCESS, "Alien", project},
                        {ERROR, "person.delegate = Alien()", comment}},
        .debugger    = true,
        .printValue  = "I like Humans",
        .video       = "KIu64FB2PyO",
    });

    addLessonStoring(chapter, 60, {
        .id = "CH20L5", .number = 5, .title = "The Boss (delegator)",
        .instruction = "In the second program a Boss is the delegator: it hands jobs to its delegate. The delegate is optional, and may be weak so that the boss does not keep it alive; weak needs a class-only protocol, hence AnyObject. In line 5, give Boss a variable delegate of type BossDelegate?",
        .code = R"(protocol BossDelegate: AnyObject {
   func doWork(job: String) }
// the boss hands work to its delegate
class Boss {
   «var delegate: BossDelegate?»
})",
        .accepted    = {"var delegate:BossDelegate?", "weak var delegate: BossDelegate?", "weak var delegate:BossDelegate?", kShortcutAnswer},
        .success     = "The Boss can now hand work to any BossDelegate.",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var delegate \n 2. Its type is the protocol, made optional: BossDelegate? \n var delegate: BossDelegate?"},
        .placeholder = "Tap to answer",
        .words       = {{":", "?"}},
        .colors      = {{INSTR, "In line 5, give Boss a variable delegate of type BossDelegate?", comment}, {INSTR, "weak", pink},
                        {INSTR, "AnyObject", blue}, {L1, "BossDelegate", project}, {L1, "AnyObject", blue},
                        {L4, "Boss", project}, {SUCCESS, "BossDelegate", project}, {ERROR, "var delegate: BossDelegate?", comment}},
        .video       = "62Ztkplynk2",
    });

    addLessonStoring(chapter, 59, {
        .id = "CH20L6", .number = 6, .title = "The Worker (delegate)",
        .instruction = "The worker is the delegate: Developer adopts BossDelegate and does the job when the boss asks. In line 5, create a class Developer that adopts BossDelegate.",
        .code = programWithField(kBossProgram, 5),
        .lines       = 7,
        .accepted    = {"class Developer:BossDelegate", kShortcutAnswer},
        .success     = "A Developer can do any job a Boss hands over.",
        .hint        = {"Stuck? Break it down!", "1. Declare a class: class Developer \n 2. Adopt the protocol after a colon: BossDelegate \n class Developer: BossDelegate"},
        .placeholder = "Tap to answer",
        .words       = {{":", "?"}},
        .colors      = {{INSTR, "In line 5, create a class Developer that adopts BossDelegate.", comment},
                        {L1, "BossDelegate", project}, {L1, "AnyObject", blue}, {L3, "Boss", project}, {L4, "weak", pink},
                        {L4, "BossDelegate", project}, {L7, "Boss()", project}, {SUCCESS, "Developer", project},
                        {ERROR, "class Developer: BossDelegate", comment}},
        .video       = "ZiR8HUyCFTq",
    });

    addLessonStoring(chapter, 59, {
        .id = "CH20L7", .number = 7, .title = "Assign delegate",
        .instruction = "A delegate only works once it is assigned. In line 9, make developer the delegate of boss.",
        .code = programWithField(kBossProgram, 9),
        .lines       = 9,
        .accepted    = {"boss.delegate=developer", kShortcutAnswer},
        .success     = "boss now hands its jobs to developer.",
        .hint        = {"Stuck? Break it down!", "1. Reach the delegate of boss: boss.delegate \n 2. Assign developer to it \n boss.delegate = developer"},
        .placeholder = "Tap to answer",
        .words       = {{".", "="}},
        .colors      = {{INSTR, "In line 9, make developer the delegate of boss.", comment},
                        {L1, "BossDelegate", project}, {L1, "AnyObject", blue}, {L3, "Boss", project}, {L4, "weak", pink},
                        {L4, "BossDelegate", project}, {L5, "Developer", project}, {L5, "BossDelegate", project},
                        {L7, "Boss()", project}, {L8, "Developer()", project}, {SUCCESS, "developer", project},
                        {ERROR, "boss.delegate = developer", comment}},
        .video       = "wuNBRZet0pN",
    });

    addLessonStoring(chapter, 62, {
        .id = "CH20L8", .number = 8, .title = "Delegate Work",
        .instruction = R"(The boss asks its delegate for work through the optional delegate, with ?. In line 10, complete the doWork function and tell the developer to "Build me an app".)",
        .code = R"(protocol BossDelegate {
   func doWork(job: String) }
class Boss {
   var delegate: BossDelegate? }
class Developer: BossDelegate {
   func doWork(job: String) { print ("Ok boss") } }
let boss = Boss()
let developer = Developer()
boss.delegate = developer
boss.delegate?.doWork(«job: "Build me an app"»))",
        .accepted    = {R"(job: "Build me an app")", R"(job:"Build me an app")", R"(job:"Build me an app.")", R"(job: "Build me an app.")", kShortcutAnswer},
        .success     = R"(The boss, the delegator, handed the job to its delegate, and the developer answered "Ok boss".)",
        .hint        = {"Stuck? Break it down!", "1. Name the parameter: job: \n 2. Pass the job as a String in quotes \n job: \"Build me an app\""},
        .placeholder = "Tap to answer",
        .words       = {{":", R"(")"}},
        .colors      = {{INSTR, R"(In line 10, complete the doWork function and tell the developer to "Build me an app".)", comment},
                        {L5, "BossDelegate", project}, {L9, "developer", project}, {L10, "doWork", project},
                        {L6, R"("Ok boss")", red}, {ERROR, R"(job: "Build me an app")", comment}, {SUCCESS, "delegator", comment}},
        .debugger    = true,
        .printValue  = "Ok boss",
        .video       = "Z7LIGvPQunM",
    });

    addLessonStoring(chapter, 62, {
        .id = "CH20L9", .number = 9, .title = "Send Data 1/8",
        .instruction = "The last program passes data along: a Sender hands a message to its delegate, a Receiver, and the Receiver uses it. You build it in eight steps. In line 1, create a protocol called SenderDelegate.",
        .code = programWithField(kSenderProgram, 1),
        .lines       = 1,
        .accepted    = {kShortcutAnswer},
        .success     = "SenderDelegate will describe how data is handed over.",
        .hint        = {"Stuck? Break it down!", "1. Create a protocol and name it SenderDelegate \n protocol SenderDelegate"},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, "In line 1, create a protocol called SenderDelegate.", comment}, {INSTR, "protocol", pink},
                        {SUCCESS, "SenderDelegate", project}, {ERROR, "protocol SenderDelegate", comment}},
        .video       = "SYpz1GEkgjp",
    });

    addLessonStoring(chapter, 61, {
        .id = "CH20L10", .number = 10, .title = "Send Data 2/8",
        .instruction = "The protocol names the method that carries the data. In line 2, add a method requirement message with one parameter data of type String.",
        .code = R"(protocol SenderDelegate {
   «func message(data: String)»
})",
        .accepted    = {"func message( data: String)", "func message(data:String)", "func message( data: String )", "func message (data: String)", "func message (data:String)", kShortcutAnswer},
        .success     = "Every SenderDelegate must now accept a message with its data.",
        .hint        = {"Stuck? Break it down!", "1. Name the method: func message \n 2. Add the parameter data of type String \n func message(data: String)"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 2, add a method requirement message with one parameter data of type String.", comment},
                        {INSTR, "String", blue}, {L1, "SenderDelegate", project}, {SUCCESS, "SenderDelegate", project},
                        {ERROR, "func message(data: String)", comment}},
        .video       = "g4-YRjdkQRN",
    });

    addLessonStoring(chapter, 61, {
        .id = "CH20L11", .number = 11, .title = "Send Data 3/8",
        .instruction = "The Sender is the delegator: it holds the data and hands it on. In line 3, create a class called Sender.",
        .code = programWithField(kSenderProgram, 3),
        .lines       = 3,
        .accepted    = {kShortcutAnswer},
        .success     = "Sender is ready to get a delegate.",
        .hint        = {"Stuck? Break it down!", "1. Create a class and name it Sender \n class Sender"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ":", ")"}},
        .colors      = {{INSTR, "In line 3, create a class called Sender.", comment}, {L1, "protocol", pink},
                        {L1, "SenderDelegate", project}, {SUCCESS, "Sender", project}, {ERROR, "class Sender", comment}},
        .video       = "AjYl1ERyl24",
    });

    addLessonStoring(chapter, 64, {
        .id = "CH20L12", .number = 12, .title = "Send Data 4/8",
        .instruction = "The Sender keeps an optional reference to its delegate. In line 4, give Sender a variable delegate of type SenderDelegate?",
        .code = programWithField(kSenderProgram, 4),
        .lines       = 4,
        .accepted    = {"var delegate:SenderDelegate?", kShortcutAnswer},
        .success     = "Any SenderDelegate can now receive what the Sender sends.",
        .hint        = {"Stuck? Break it down!", "1. Declare a variable: var delegate \n 2. Its type is the protocol, made optional: SenderDelegate? \n var delegate: SenderDelegate?"},
        .placeholder = "Tap to answer",
        .words       = {{":", "?"}},
        .colors      = {{INSTR, "In line 4, give Sender a variable delegate of type SenderDelegate?", comment}, {L1, "protocol", pink},
                        {L1, "SenderDelegate", project}, {L3, "Sender", project}, {SUCCESS, "SenderDelegate", project},
                        {ERROR, "var delegate: SenderDelegate?", comment}},
        .video       = "IBQRJZAkNJ4",
    });

    addLessonStoring(chapter, 64, {
        .id = "CH20L13", .number = 13, .title = "Send Data 5/8",
        .instruction = R"(The Sender needs a method that hands "Sender data" to its delegate. In line 5, declare a method sendMessage without parameters.)",
        .code = R"~(protocol SenderDelegate {
   func message(data: String) }
class Sender {
   var delegate: SenderDelegate?
   «func sendMessage()»{
   delegate?.message(data: "Sender data") } }
class Receiver: SenderDelegate {
   func message(data: String) { print("Notified with \(data)") } })~",
        .accepted    = {"func sendMessage ()", kShortcutAnswer},
        .success     = R"(sendMessage() passes "Sender data" to whatever delegate the Sender has.)",
        .hint        = {"Stuck? Break it down!", "1. Declare the method: func sendMessage \n 2. It takes no parameters: () \n func sendMessage()"},
        .placeholder = "Tap to answer",
        .words       = {{"(", ")"}},
        .colors      = {{INSTR, "In line 5, declare a method sendMessage without parameters.", comment}, {INSTR, R"("Sender data")", red},
                        {L1, "SenderDelegate", project}, {L3, "Sender", project}, {L4, "SenderDelegate", project},
                        {L7, "Receiver", project}, {L7, "SenderDelegate", project}, {SUCCESS, R"("Sender data")", red},
                        {ERROR, "func sendMessage()", comment}},
        .video       = "RRkaUbkcqos",
    });

    addLessonStoring(chapter, 64, {
        .id = "CH20L14", .number = 14, .title = "Send Data 6/8",
        .instruction = "The Receiver is the delegate that gets the data. In line 7, create a class Receiver that adopts SenderDelegate.",
        .code = programWithField(kSenderProgram, 7),
        .lines       = 7,
        .accepted    = {"class Receiver:SenderDelegate", kShortcutAnswer},
        .success     = "A Receiver can now be the delegate of a Sender.",
        .hint        = {"Stuck? Break it down!", "1. Declare a class: class Receiver \n 2. Adopt the protocol after a colon: SenderDelegate \n class Receiver: SenderDelegate"},
        .placeholder = "Tap to answer",
        .words       = {{"=", ":"}},
        .colors      = {{INSTR, "In line 7, create a class Receiver that adopts SenderDelegate.", comment},
                        {L1, "protocol", pink}, {L1, "SenderDelegate", project}, {L3, "Sender", project},
                        {L4, "SenderDelegate", project}, {SUCCESS, "Receiver", project}, {ERROR, "class Receiver: SenderDelegate", comment}},
        .video       = "TzJ8n5gEaNH",
    });

    addLessonStoring(chapter, 64, {
        .id = "CH20L15", .number = 15, .title = "Send Data 7/8",
        .instruction = "A delegate implements what the protocol requires. In line 8, add the method message with one parameter data of type String to Receiver.",
        .code = programWithField(kSenderProgram, 8),
        .lines       = 8,
        .accepted    = {"func message(data:String)", "func message (data:String)", "func message( data: String)", "func message (data: String)", kShortcutAnswer},
        .success     = "Receiver meets the protocol: it can take the message with its data.",
        .hint        = {"Stuck? Break it down!", "1. Name the method as the protocol does: func message \n 2. Add the parameter data of type String \n func message(data: String)"},
        .placeholder = "Tap to answer",
        .words       = {{"=", ":"}},
        .colors      = {{INSTR, "In line 8, add the method message with one parameter data of type String to Receiver.", comment},
                        {INSTR, "String", blue}, {L1, "protocol", pink}, {L1, "SenderDelegate", project}, {L3, "Sender", project},
                        {L4, "SenderDelegate", project}, {L7, "Receiver", project}, {L7, "SenderDelegate", project},
                        {SUCCESS, "Receiver", project}, {ERROR, "func message(data: String)", comment}},
        .video       = "GwfAFNNZX5z",
    });

    addLessonStoring(chapter, 60, {
        .id = "CH20L16", .number = 16, .title = "Send Data 8/8",
        .instruction = R"(Last step: the Receiver uses the data it gets. In line 9, call the print function to show "Notified with " followed by the data.)",
        .code = R"(protocol SenderDelegate {
   func message(data: String) }
class Sender {
   var delegate: SenderDelegate?
   func sendMessage() {
   delegate?.message(data: "Sender data") } }
class Receiver: SenderDelegate {
   func message(data: String) {
       «print»("Notified with " + data) }
})",
        .accepted    = {kShortcutAnswer},
        .success     = R"(When a Sender with a Receiver as its delegate calls sendMessage(), the Receiver prints "Notified with Sender data". You finished the delegates chapter!)",
        .hint        = {"Stuck? Break it down!", "1. Call the function that shows text in the console \n print"},
        .placeholder = "Tap to answer",
        .words       = {{"!", "="}},
        .colors      = {{INSTR, R"(In line 9, call the print function to show "Notified with " followed by the data.)", comment},
                        {INSTR, "print", blue}, {L1, "SenderDelegate", project}, {L3, "Sender", project},
                        {L4, "SenderDelegate", project}, {L6, R"("Sender data")", red}, {L7, "Receiver", project},
                        {L7, "SenderDelegate", project}, {L9, "data", project}, {SUCCESS, "sendMessage()", project},
                        {SUCCESS, R"("Notified with Sender data")", red}, {ERROR, "print", blue}},
        .video       = "JcihhPzP14L",
    });
}
// clang-format on
