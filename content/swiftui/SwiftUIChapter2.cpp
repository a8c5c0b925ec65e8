// SwiftUI course, chapter 2: the Text view and its modifiers (font, bold, line limit, truncation,
// alignment, colours, line spacing).
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter2(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH2L1", .number = 1, .title = "Static Text View",
        .instruction = R"(A Text view shows one or more lines of read-only text. It takes the string to show as its argument. In line 4, add a Text view that shows "SwiftUI is awesome".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «Text("SwiftUI is awesome")»
   }
})",
        .given = 8,
        .accepted = {R"(Text ("SwiftUI is awesome"))", R"(Text( "SwiftUI is awesome" ))", R"(Text( "SwiftUI is awesome"))",
                     R"(Text("SwiftUI is awesome" ))", R"(Text ( "SwiftUI is awesome" ))", R"(Text ( "SwiftUI is awesome"))"},
        .success = "Your first Text view! Next, you will change how it looks with modifiers.",
        .steps = {"Create a Text view.", R"(Pass it the string "SwiftUI is awesome".)"},
        .colorCount = 62,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L2", .number = 2, .title = "Text Modifiers",
        .instruction = "Modifiers are methods that return a changed copy of a view. They follow the view, each starting with a dot. In line 2, set the font of the text to the .title style.",
        .code = R"(Text("SwiftUI is awesome")
   «.font(.title)»)",
        .given = 8,
        .accepted = {".font(.title)", ".font( .title )", ".font (.title)", ".font( .title)", ".font(.title )"},
        .success = "The text is now shown in the large title font.",
        .steps = {"Call the font modifier.", "Pass it the title style."},
        .words = {{"(", ".", ")"}},
        .colorCount = 68,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L3", .number = 3, .title = "Multiple modifiers",
        .instruction = "Modifiers can be chained: each one works on the view the one before it returned. In line 3, make the title bold as well.",
        .code = R"(Text("SwiftUI is awesome")
   .font(.title)
   «.bold()»)",
        .given = 8,
        .accepted = {".bold()", ".bold( )", ".bold ()"},
        .success = "Bold and big: each modifier added one more change to the text.",
        .steps = {"Add the bold modifier with empty brackets."},
        .words = {{"(", ".", ")"}},
        .colorCount = 69,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L4", .number = 4, .title = "Multiline Text View",
        .instruction = "Text views show one line by default and cut longer text off with an ellipsis. The line limit modifier changes that. In line 2, give the text a line limit of 2 with .linelimit.",
        .code = R"(Text("Text views are single line only unless you change this.")
   «.linelimit(2)»)",
        .given = 8,
        .accepted = {".linelimit(2)", ".linelimit (2)", ".linelimit( 2)", ".linelimit( 2 )", ".linelimit ( 2)",
                     ".linelimit(2 )"},
        .success = "Now the text may wrap onto a second line. What would you write for an unlimited number of lines?",
        .steps = {"Modify the line limit.", "Set it to 2."},
        .words = {{"(", ".", ")"}},
        .colorCount = 69,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L5", .number = 5, .title = "Unlimited Lines",
        .instruction = "A line limit of nil means no limit at all: the text takes as many lines as it needs. In line 2, lift the limit by passing nil to .linelimit.",
        .code = R"(Text("Give me unlimited lines!")
   «.linelimit(nil)»)",
        .given = 8,
        .accepted = {".linelimit(nil)", ".linelimit (nil)", ".linelimit( nil)", ".linelimit( nil )",
                     ".linelimit ( nil)", ".linelimit(nil )"},
        .success = "No limit: the text wraps onto as many lines as it needs.",
        .steps = {"Modify the line limit.", "Set it to nil."},
        .words = {{"(", ".", ")"}},
        .colorCount = 69,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L6", .number = 6, .title = "Truncating Text",
        .instruction = "A text that does not fit is cut off at its end by default. The truncation mode decides where the ellipsis goes. In line 2, cut the text at its beginning with the .head mode.",
        .code = R"(Text("You will never know how this started.")
   «.truncationMode(.head)»)",
        .given = 8,
        .accepted = {".truncationMode(.head)", ".truncationMode (.head)", ".truncationMode( .head)",
                     ".truncationMode( .head )", ".truncationMode ( .head)", ".truncationMode(.head )"},
        .success = "The text now starts with an ellipsis and keeps its end in view.",
        .steps = {"Use the truncationMode modifier.", "Pass it the head mode."},
        .words = {{"(", ".", ")"}},
        .colorCount = 71,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L7", .number = 7, .title = "Text Alignment",
        .instruction = "A text that runs over several lines is centred by default. The multiline text alignment modifier lines every line up on one side. In line 3, align the lines on the .leading edge.",
        .code = R"(Text("Let all text start at the same place.")
   .linelimit(nil)
   «.multilineTextAlignment(.leading)»)",
        .given = 8,
        .accepted = {".multilineTextAlignment(.leading)", ".multilineTextAlignment (.leading)",
                     ".multilineTextAlignment( .leading)", ".multilineTextAlignment( .leading )",
                     ".multilineTextAlignment ( .leading)", ".multilineTextAlignment(.leading )",
                     ".multilineTextAlignment ( .leading )"},
        .success = "Every line of the text now starts at the same place, on the leading edge.",
        .steps = {"Use the multilineTextAlignment modifier.", "Pass it the leading alignment."},
        .words = {{"(", ".", ")"}},
        .colorCount = 70,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L8", .number = 8, .title = "Foreground & Background Color",
        .instruction = "The background modifier fills the space behind a view; the foreground color is the color of the text itself. In line 3, make the text .white so that it shows on the black background.",
        .code = R"(Text("I like dark mode.")
   .background(Color.black)
   «.foregroundColor(.white)»)",
        .given = 8,
        .accepted = {".foregroundColor (.white)", ".foregroundColor( .white)", ".foregroundColor( .white )",
                     ".foregroundColor ( .white)", ".foregroundColor(.white )", ".foregroundColor ( .white )",
                     ".foregroundColor (.white)", ".foregroundColor( .white )"},
        .success = "White on black: the text is easy to read in dark mode.",
        .steps = {"Use the foregroundColor modifier.", "Pass it the color white."},
        .words = {{"(", ".", ")"}},
        .colorCount = 71,
    });

    addSwiftUILesson(chapter, {
        .id = "CH2L9", .number = 9, .title = "Linespacing",
        .instruction = "Line spacing is the space between the lines of a text. In line 3, add 10 points of space between the lines with .linespacing.",
        .code = R"(Text("Give me more space!")
   .linelimit(nil)
   «.linespacing(10)»)",
        .given = 8,
        .accepted = {".linespacing(10)", ".linespacing (10)", ".linespacing( 10)", ".linespacing( 10 )",
                     ".linespacing(10 )", ".linespacing (10)"},
        .success = "More room to breathe: the lines now sit 10 points apart. That completes the Text view.",
        .steps = {"Modify the line spacing.", "Set it to 10."},
        .words = {{"(", ".", ")"}},
        .colorCount = 72,
    });
}
// clang-format on
