// SwiftUI course, chapter 7: the navigation view and its bar — title, display mode, items and a button.
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter7(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH7L1", .number = 1, .title = "Navigation View",
        .instruction = "A NavigationView puts a navigation bar at the top of the screen and handles the navigation between views. In line 4, wrap the text in a NavigationView.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
        «NavigationView»{
           Text("I love this app!")
       }
   }
})",
        .given = 10,
        .success = "The navigation view now presents a stack of views, starting with this one.",
        .steps = {"Add the navigation view around the text."},
        .colorCount = 65,
    });

    addSwiftUILesson(chapter, {
        .id = "CH7L2", .number = 2, .title = "Navigation Bar Title",
        .instruction = R"(The title in the navigation bar is set on the view inside the navigation view, not on the navigation view itself. In line 3, give the bar the title "Velomarinth".)",
        .code = R"(NavigationView {
   Text("Learn by writing real code!")
       «.navigationBarTitle(Text("Velomarinth"))»
   }
})",
        .given = 9,
        .accepted = {R"(.navigationBarTitle(Text("Velomarinth")))", R"(.navigationBarTitle (Text("Velomarinth")))",
                     R"(.navigationBarTitle( Text("Velomarinth")))", R"(.navigationBarTitle(Text ("Velomarinth")))",
                     R"(.navigationBarTitle(Text( "Velomarinth")))", R"(.navigationBarTitle(Text("Velomarinth" )))",
                     R"(.navigationBarTitle(Text("Velomarinth") ))", R"(.navigationBarTitle( Text("Velomarinth") ))",
                     R"(.navigationBarTitle(Text( "Velomarinth" )))", R"(.navigationBarTitle( Text( "Velomarinth" ) ))",
                     R"(.navigationBarTitle (Text ("Velomarinth")))", R"(.navigationBarTitle(Text ( "Velomarinth" )))",
                     R"(.navigationBarTitle ( Text ( "Velomarinth" ) ))", R"(.navigationBarTitle( Text ("Velomarinth") ))"},
        .success = "The bar now shows the title Velomarinth in large letters.",
        .steps = {"Use the navigationBarTitle modifier.", "Pass it a Text view.", R"(Give the text the string "Velomarinth".)",
                  "Close both brackets."},
        .words = {{"(", ".", R"(")", ")"}},
        .colorCount = 73,
    });

    // The check drops a blank after the answer before it compares, so the variants typed with one
    // (".displayMode: .large ") are listed as the check sees them.
    addSwiftUILesson(chapter, {
        .id = "CH7L3", .number = 3, .title = "Navigation Bar Title Display Mode",
        .instruction = "The title can be shown large, below the bar, or inline, inside the bar. The display mode is the second argument of the title. In line 4, choose the .large display mode.",
        .code = R"(NavigationView {
   Text("Learn by writing real code!")
       .navigationBarTitle(Text("Velomarinth"),
                           «.displayMode: .large»)
})",
        .given = 9,
        .accepted = {".displayMode:.large", ".displayMode: .large", ".displayMode : .large", ".displayMode : .large"},
        .success = "A large title, as at the top of the Mail or Settings app.",
        .steps = {"Add the displayMode argument.", "Set it to large."},
        .words = {{".", ":"}},
        .colorCount = 73,
    });

    addSwiftUILesson(chapter, {
        .id = "CH7L4", .number = 4, .title = "Navigation Bar Items",
        .instruction = "Bar items are views placed at the leading or trailing end of the navigation bar. In line 3, place the info image at the trailing end.",
        .code = R"(NavigationView {
   Text("Learn by writing real code!")
       «.navigationBarItems(trailing:»
           Image(systemName: "i.circle"))
})",
        .given = 9,
        .accepted = {".navigationBarItems(trailing:", ".navigationBarItems (trailing:", ".navigationBarItems( trailing:",
                     ".navigationBarItems(trailing :", ".navigationBarItems( trailing :",
                     ".navigationBarItems ( trailing:", ".navigationBarItems (trailing :"},
        .success = "The info icon now sits at the right end of the bar.",
        .steps = {"Use the navigationBarItems modifier.", "Name the trailing parameter, ending with its colon."},
        .words = {{"(", ":", "."}},
        .colorCount = 75,
    });

    addSwiftUILesson(chapter, {
        .id = "CH7L5", .number = 5, .title = "Navigation Bar Button",
        .instruction = "A bar item that reacts to taps is a Button. Its action runs when the item is tapped, and its label is the gear image. In line 4, make the bar item a button by starting its action.",
        .code = R"(NavigationView {
   Text("Learn by writing real code!")
       .navigationBarItems(trailing:
           «Button(action:»{
               print("Settings button pushed")
           }) {
               Image(systemName: "gear")
           })
})",
        .accepted = {"Button (action:", "Button( action:", "Button(action :", "Button( action :", "Button ( action :",
                     "Button ( action:"},
        .success = "Tap the gear and the action prints its message. A button in the bar works like any other button.",
        .steps = {"Create a Button and start its action parameter."},
        .words = {{"(", ":", "."}},
        .colorCount = 75,
    });
}
// clang-format on
