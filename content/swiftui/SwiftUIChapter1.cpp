// SwiftUI course, chapter 1: the framework, the View protocol, the body, modifiers, stacks and the
// some keyword.
#include "content/LessonForm.hpp"
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::form;
using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter1(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH1L1", .number = 1, .title = "SwiftUI Framework",
        .instruction = "SwiftUI is the framework for building user interfaces in Swift: you describe what the screen shows, and it draws and updates the views for you. Every SwiftUI file starts by importing it. In line 1, import the SwiftUI framework.",
        .code = "«import SwiftUI»",
        .given = 8,
        .success = "Well done! With SwiftUI imported, every view and modifier of the framework is ready to use.",
        .steps = {"Start with the import keyword.", "Follow it with the name of the framework, SwiftUI."},
        .colorCount = 60,
    });

    addSwiftUILesson(chapter, {
        .id = "CH1L2", .number = 2, .title = "View protocol",
        .instruction = "A SwiftUI screen is a struct that conforms to the View protocol. A type conforms to a protocol by naming it after a colon. In line 2, make ContentView conform to View.",
        .code = R"(import SwiftUI
struct ContentView :«View»{)",
        .given = 8,
        .success = "ContentView is now a View. Any type that conforms to View can be shown on the screen.",
        .steps = {"Name the protocol that every SwiftUI view conforms to."},
        .colorCount = 66,
    });

    addSwiftUILesson(chapter, {
        .id = "CH1L3", .number = 3, .title = "Some View",
        .instruction = R"(Every View in SwiftUI has a body property that returns some view. The default template of ContentView returns a Text view, a label that shows a string. In line 4, add the missing text "Hello World".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       Text(«"Hello World"»)
   }
})",
        .given = 8,
        .accepted = {R"("Hello world")", R"("hello world")"},
        .success = R"(Returning some View means returning something that conforms to View: here a label with the text "Hello World".)",
        .steps = {"Just add the string, in double quotes."},
        .words = {{R"(")", ":", "!"}},
        .colorCount = 67,
        .own = {{INSTR, "body", blue}, {INSTR, " ContentView ", blue}, {INSTR, " View ", blue},
                {INSTR, R"("Hello World")", red}, {L1, "import", pink}, {L2, "ContentView", turquoise},
                {L2, "struct", pink}, {L3, "var", pink}, {L3, "some", pink}, {L3, "body", blue},
                {L3, "View", blue}, {L4, "Text", blue}, {ERROR, R"("Hello World")", comment},
                {SUCCESS, R"("Hello World")", red}},
    });

    addSwiftUILesson(chapter, {
        .id = "CH1L4", .number = 4, .title = "Modifiers",
        .instruction = "Modifiers change how a view looks. Each modifier returns a new view, so modifiers can be chained one after another, as .font(.title) and .color() are here. In line 6, pass .red to the color modifier.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       Text("SwiftUI rocks!")
           .font(.title)
           .color(«.red»)
   }
})",
        .success = "The text is now red. Modifiers apply in order, from the first line to the last.",
        .steps = {"Colors are written with a dot in front, like .blue.", "Use the color red."},
        .words = {{".", ":", "!"}},
        .colorCount = 71,
    });

    addSwiftUILesson(chapter, {
        .id = "CH1L5", .number = 5, .title = "View Stacks",
        .instruction = R"(A body returns a single view. To show more than one, put the views in a stack: a VStack arranges its children from top to bottom. In line 6, add a second Text view that shows "Chapter 1".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       VStack {
           Text("SwiftUI Tutorial")
           «Text("Chapter 1")»
       }
}  })",
        .accepted = {R"(Text ("Chapter 1"))", R"(Text( "Chapter 1" ))", R"(Text( "Chapter 1"))",
                     R"(Text("Chapter 1" ))", R"(Text ( "Chapter 1" ))"},
        .success = R"(Both texts now sit in one VStack, "SwiftUI Tutorial" above "Chapter 1".)",
        .steps = {"Create a Text view.", R"(Give it the string "Chapter 1".)"},
        .words = {{"(", R"(")", ")"}},
        .colorCount = 75,
    });

    addSwiftUILesson(chapter, {
        .id = "CH1L6", .number = 6, .title = "View Stacks & Modifiers",
        .instruction = "Each view in a stack keeps its own modifiers: the first text already uses the title font. In line 8, give the second text the smaller .subheadline font.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       VStack {
           Text("SwiftUI Tutorial")
               .font(.title)
           Text("Chapter 1")
               «.font(.subheadline)»
       }
}  })",
        .accepted = {".font( .subheadline )", ".font (.subheadline)", ".font( .subheadline)", ".font(.subheadline )",
                     ".font ( .subheadline )"},
        .success = "The stack now shows a large title above a smaller subheadline.",
        .steps = {"Use the font modifier.", "Pass it the subheadline style."},
        .words = {{"(", ".", ")"}},
        .colorCount = 75,
    });

    addSwiftUILesson(chapter, {
        .id = "CH1L7", .number = 7, .title = "What is the 'some' keyword?",
        .instruction = "The body of a view is declared with the type some View. The keyword some tells Swift that body returns one particular type that conforms to View, without spelling that type out. In line 3, give body its type.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: «some View»)",
        .given = 10,
        .success = "Right: body returns some View, one fixed type that conforms to View. To learn more, read about opaque result types and the some keyword in the Swift documentation.",
        .sentence = "The body returns one kind of view that conforms to View, so write the keyword some before View:",
        .words = {{"(", ".", ")"}},
        .colorCount = 75,
    });
}
// clang-format on
