// SwiftUI course, chapter 6: static lists, lists made from a range and from an array, section headers,
// the grouped style, and a closing question to the learner.
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter6(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH6L1", .number = 1, .title = "Static List",
        .instruction = R"(A List shows rows in one scrolling column. The simplest list names its rows one by one. In line 7, add a third row that shows "Lesson 3: Lesson Row".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       List {
           Text("Lesson 1: Static List")
           Text("Lesson 2: Dynamic List")
           «Text("Lesson 3: Lesson Row")»
       }
   })",
        .given = 10,
        .accepted = {R"(Text("Lesson 3: Lesson Row"))", R"(Text ("Lesson 3: Lesson Row"))",
                     R"(Text( "Lesson 3: Lesson Row"))", R"(Text("Lesson 3: Lesson Row" ))",
                     R"(Text( "Lesson 3: Lesson Row" ))", R"(Text ( "Lesson 3: Lesson Row" ))",
                     R"(Text ( "Lesson 3: Lesson Row"))", R"(Text ("Lesson 3: Lesson Row"))",
                     R"(Text( "Lesson 3: Lesson Row" ))", R"(Text("Lesson 3: Lesson Row" ))"},
        .success = "The list has three rows. A list scrolls by itself when it has more rows than fit.",
        .steps = {"Create a Text view.", R"(Pass it the string "Lesson 3: Lesson Row".)"},
        .words = {{"(", R"(")", ":", ")"}},
        .colorCount = 65,
    });

    addSwiftUILesson(chapter, {
        .id = "CH6L2", .number = 2, .title = "Dynamic List",
        .instruction = "A List can make its rows from a range: it runs its closure once for every number in the range. In line 4, make a list of the five rows 0 ..< 5.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «List(0 ..< 5)»{ item in
           Image(systemName: "photo")
           Text("Name")
       }
   }
})",
        .accepted = {"List(0 ..< 5)", "List(0..<5)", "List(0 ..<5)", "List(0..< 5)", "List( 0 ..< 5 )", "List( 0..<5 )",
                     "List (0 ..< 5)", "List (0..<5)", "List( 0 ..< 5)", "List(0 ..< 5 )", "List(0..<5)",
                     "List(0 ..< 5)", "List( 0..<5)", "List(0..<5 )"},
        .success = "The list now has five rows, each with an image and a text view.",
        .steps = {"Create a List.", "Give it the range from 0 up to 5, without 5 itself."},
        .words = {{"(", ".", "<", ")"}},
        .colorCount = 73,
    });

    addSwiftUILesson(chapter, {
        .id = "CH6L3", .number = 3, .title = "List from Array",
        .instruction = "A List can make one row for every element of an array. Its closure receives the elements in turn, here as lesson. In line 5, show the name of each lesson in a Text view.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       List(lessons) { lesson in
           «Text(lesson.name)»
       }
   }
})",
        .given = 9,
        .accepted = {"Text(lesson.name)", "Text(lesson.name)", "Text (lesson.name)", "Text( lesson.name)",
                     "Text(lesson.name )", "Text( lesson.name )", "Text ( lesson.name )", "Text ( lesson.name)",
                     "Text (lesson.name )"},
        .success = "One row per lesson, each showing its name. Add a lesson to the array and the list grows by itself.",
        .steps = {"Create a Text view.", "Pass it the name property of lesson."},
        .words = {{"(", ".", ")"}},
        .colorCount = 75,
    });

    addSwiftUILesson(chapter, {
        .id = "CH6L4", .number = 4, .title = "Section Header",
        .instruction = R"(Sections group the rows of a list, and each section can have a header: any view, a text or an image. In line 7, add a second section whose header is the system image "star".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       List {
           Section(header: Text("Important Emails")) {
           }
           «Section(header: Image(systemName: "star"))»{
           })",
        .given = 10,
        .accepted = {R"(Section(header: Image(systemName: "star")))", R"(Section (header: Image(systemName: "star")))",
                     R"(Section( header: Image(systemName: "star")))", R"(Section(header:Image(systemName: "star")))",
                     R"(Section(header: Image (systemName: "star")))", R"(Section(header: Image( systemName: "star")))",
                     R"(Section(header: Image(systemName:"star")))", R"(Section(header: Image(systemName: "star") ))",
                     R"(Section(header: Image(systemName: "star" )))", R"(Section(header:Image(systemName:"star")))",
                     R"(Section (header: Image(systemName: "star")))", R"(Section(header:Image(systemName: "star")))"},
        .success = "The list now has two sections, one headed by a text and one by a star.",
        .steps = {"Create a Section.", "Add the header parameter.", "Make the header an Image.",
                  R"(Give the image the systemName "star".)"},
        .words = {{"(", R"(")", ":", ")"}},
        .colorCount = 78,
    });

    addSwiftUILesson(chapter, {
        .id = "CH6L5", .number = 5, .title = "Grouped List Style",
        .instruction = "The list style changes the look of a whole list. The grouped style sets its sections apart on a gray background. In line 7, right after the closing bracket of the list, give it the .grouped style.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       List {
           Text("Row 1")
           Text("Row 2")
       }«.listStyle(.grouped)»
   }
})",
        .given = 10,
        .accepted = {".listStyle(.grouped)", ".listStyle (.grouped)", ".listStyle( .grouped)", ".listStyle(.grouped )",
                     ".listStyle( .grouped )", ".listStyle ( .grouped )", ".listStyle ( .grouped)"},
        .success = "The list now uses the grouped style. The modifier follows the closing bracket, so it applies to the whole list.",
        .steps = {"Use the listStyle modifier.", "Pass it the grouped style."},
        .words = {{"(", ".", ")"}},
        .colorCount = 79,
    });

    addSwiftUILesson(chapter, {
        .id = "CH6L6", .number = 6, .title = "Want more?",
        .instruction = R"(More lessons and chapters are in the making. If you would like them, type "Yes please!" in line 1 and we will know.)",
        .code = "«Yes please!»",
        .given = 10,
        .accepted = {"Yes please!", "Yes please", "Yes Please!", "Yes Please", "yes please!", "yes please",
                     R"("Yes please!")", R"("Yes Please!")", R"("Yes please")", R"("Yes Please")",
                     R"(" Yes please! ")", R"(" Yes please")"},
        .success = "Thank you! If you enjoy learning here, please leave a review in the App Store: it helps more than you think.",
        .sentence = "Just type the answer:",
        .words = {{"!", "="}},
        .colorCount = 79,
    });
}
// clang-format on
