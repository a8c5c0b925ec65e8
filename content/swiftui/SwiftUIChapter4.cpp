// SwiftUI course, chapter 4: vertical stacks with alignment and spacing, dividers, horizontal stacks,
// spacers and padding.
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter4(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH4L1", .number = 1, .title = "VStack",
        .instruction = "Views can be combined in stacks. A vertical stack, VStack, arranges its children in a vertical line, one below the other. In line 4, put the two texts in a VStack.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «VStack»{
           Text("SwiftUI Tutorial")
           Text("Course 4: View Stacks")
       }
   }
})",
        .success = "Once a stack is in place, you can embed any number of views in it.",
        .sentence = "To stack views vertically, add:",
        .colorCount = 63,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L2", .number = 2, .title = "Stack Alignment",
        .instruction = "A stack centres its children by default. Its alignment parameter lines them up on one side instead. In line 4, align the texts on the .leading edge.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «VStack(alignment: .leading)»{
           Text("SwiftUI Tutorial")
           Text("Course 4: View Stacks")
       }
   }
})",
        .accepted = {"VStack(alignment: .leading)", "VStack (alignment: .leading)", "VStack( alignment: .leading)",
                     "VStack(alignment:.leading)", "VStack(alignment : .leading)", "VStack(alignment: .leading )",
                     "VStack( alignment: .leading )", "VStack (alignment:.leading)", "VStack(alignment: .leading)",
                     "VStack(alignment :.leading)", "VStack (alignment: .leading)", "VStack(alignment:.leading)"},
        .success = "Both texts now start at the leading edge of the stack.",
        .steps = {"Create a VStack.", "Add the alignment parameter.", "Set it to leading."},
        .words = {{"(", ":", ".", ")"}},
        .colorCount = 64,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L3", .number = 3, .title = "Stack Spacing",
        .instruction = "The spacing parameter sets the distance between the children of a stack. In line 4, put 5 points between the two texts.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «VStack(spacing: 5)»{
           Text("SwiftUI Tutorial")
           Text("Course 4: View Stacks")
       }
   }
})",
        .accepted = {"VStack(spacing: 5)", "VStack (spacing: 5)", "VStack( spacing: 5)", "VStack(spacing:5)",
                     "VStack(spacing : 5)", "VStack(spacing: 5 )", "VStack( spacing: 5 )", "VStack (spacing:5)",
                     "VStack(spacing :5)", "VStack ( spacing: 5 )"},
        .success = "The texts now sit 5 points apart.",
        .steps = {"Create a VStack.", "Add the spacing parameter.", "Set it to 5."},
        .words = {{"(", ":", ".", ")"}},
        .colorCount = 64,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L4", .number = 4, .title = "Alignment & Spacing",
        .instruction = "A stack takes both parameters at once, alignment first. In line 4, align the texts on the .leading edge and put 5 points between them.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «VStack(alignment: .leading, spacing: 5)»{
           Text("SwiftUI Tutorial")
           Text("Course 4: View Stacks")
       }
   }
})",
        .accepted = {"VStack(alignment: .leading, spacing: 5)", "VStack (alignment: .leading, spacing: 5)",
                     "VStack( alignment: .leading, spacing: 5)", "VStack(alignment:.leading, spacing: 5)",
                     "VStack(alignment: .leading,spacing: 5)", "VStack(alignment: .leading, spacing:5)",
                     "VStack(alignment:.leading,spacing:5)", "VStack(alignment: .leading , spacing: 5)",
                     "VStack(alignment: .leading, spacing: 5 )", "VStack( alignment: .leading, spacing: 5 )",
                     "VStack(alignment : .leading, spacing : 5)", "VStack(alignment: .leading, spacing: 5)",
                     "VStack(alignment:.leading, spacing:5)", "VStack (alignment:.leading,spacing:5)",
                     "VStack(alignment: .leading,spacing:5)", "VStack(alignment:.leading,spacing: 5)",
                     "VStack (alignment: .leading, spacing: 5)", "VStack(alignment:.leading,spacing:5)",
                     "VStack( alignment: .leading, spacing: 5 )"},
        .success = "Aligned and spaced: the parameters go in the order the stack declares them.",
        .steps = {"Create a VStack.", "Set alignment to leading.", "After a comma, set spacing to 5."},
        .words = {{"(", ":", ",", ".", ")"}},
        .colorCount = 63,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L5", .number = 5, .title = "Dividers",
        .instruction = "A Divider draws a thin line between views: across a VStack, or from top to bottom in an HStack. In line 6, separate the two texts with a Divider.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       VStack {
           Text("SwiftUI Tutorial")
           «Divider()»
           Text("Course 4: View Stacks")}
   }
})",
        .accepted = {"Divider( )", "Divider ( )", "Divider ()"},
        .success = "A thin line now separates the title from the course name.",
        .steps = {"Create a Divider with empty brackets."},
        .words = {{"(", ":", ",", ".", ")"}},
        .colorCount = 63,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L6", .number = 6, .title = "HStack",
        .instruction = "A horizontal stack, HStack, arranges its children side by side in a row. In line 4, place the two texts next to each other.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
        «HStack»{
           Text("App Name: Velomarinth")
           Text("Rating: 5 Stars")
       }
   }
})",
        .accepted = {"HStack()", "HStack ( )", "HStack ()"},
        .success = "The app name and its rating now share one row.",
        .steps = {"Add a horizontal stack."},
        .colorCount = 63,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L7", .number = 7, .title = "Spacer",
        .instruction = "A Spacer takes up all the free space along its stack and pushes the views around it apart. In line 3, push the rating to the far end of the row.",
        .code = R"(HStack {
   Text("App Name: Velomarinth")
   «Spacer()»
   Text("Rating: 5 Stars")
})",
        .success = "The name stays on the left and the rating moves to the right edge.",
        .sentence = "To push the views apart, add:",
        .words = {{"(", ")"}},
        .colorCount = 63,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L8", .number = 8, .title = "Padding",
        .instruction = "Padding adds space around a view so that it does not touch its neighbours or the edge of the screen. Without arguments it uses the system's default amount on every edge. In line 4, add the default padding.",
        .code = R"(HStack {
   Text("Course 4: View Stacks")
   Text("Lesson: 8")
   «padding()»
})",
        .success = "The row now has some breathing room on every edge.",
        .sentence = "To add the default padding, write:",
        .words = {{"(", ")"}},
        .colorCount = 62,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L9", .number = 9, .title = "Padding Specified Amount",
        .instruction = "Padding takes an amount in points when the default is not what you want. In line 5, add 10 points of padding.",
        .code = R"(HStack {
   Text("Left Footer")
   Spacer()
   Text("Right Footer")   
   «padding(10)»
})",
        .success = "Exactly 10 points of space around the footer.",
        .sentence = "To add 10 points of padding, write:",
        .words = {{"(", ")"}},
        .colorCount = 62,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L10", .number = 10, .title = "Padding Edges",
        .instruction = "Padding can go on one edge only: .top, .bottom, .leading or .trailing. In line 5, add padding below the stack only.",
        .code = R"(VStack {
   Text("Please rate our app.")
   Spacer()
   Text("Thank you for your support!")   
   «padding(.bottom)»
})",
        .accepted = {"padding(.bottom)", "padding (.bottom)", "padding( .bottom)", "padding(.bottom )",
                     "padding( .bottom )", "padding ( .bottom )", "padding (.bottom)", "padding( .bottom )",
                     "padding( .bottom)"},
        .success = "The padding now sits below the stack, and nowhere else.",
        .sentence = "To add padding at the bottom edge only, write:",
        .words = {{"(", ".", ")"}},
        .colorCount = 62,
    });

    addSwiftUILesson(chapter, {
        .id = "CH4L11", .number = 11, .title = "Padding Edge & Amount",
        .instruction = "An edge and an amount can be given together, the edge first. In line 4, add 10 points of padding on the .leading edge.",
        .code = R"(VStack {
   Text("Velomarinth")
   Text("By example!")   
   «padding(.leading, 10)»
})",
        .given = 6,
        .accepted = {"padding(.leading, 10)", "padding (.leading, 10)", "padding( .leading, 10)", "padding(.leading,10)",
                     "padding(.leading , 10)", "padding(.leading, 10 )", "padding( .leading, 10 )",
                     "padding(.leading ,10)", "padding ( .leading, 10 )"},
        .success = "10 points of padding on the leading edge, none elsewhere. That is all for stacks.",
        .steps = {"Use the padding modifier.", "Pass the edge leading.", "After a comma, pass the amount 10."},
        .words = {{"(", ".", ",", ")"}},
        .colorCount = 62,
    });
}
// clang-format on
