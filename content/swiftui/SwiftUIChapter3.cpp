// SwiftUI course, chapter 3: images by name, system symbols with colour and size, resizing, aspect
// ratio, shadows, clipping to a circle, borders through an overlay, solid shapes and background images.
#include "content/swiftui/SwiftUICourse.hpp"
#include "content/swiftui/SwiftUILesson.hpp"

using namespace content::swiftui;

// clang-format off
void buildSwiftUIChapter3(Chapter& chapter) {
    addSwiftUILesson(chapter, {
        .id = "CH3L1", .number = 1, .title = "Show View",
        .instruction = R"(An Image view shows a picture from the app's asset catalog. It takes the name of the picture as a string. In line 4, show the image named "AppIcon".)",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       «Image("AppIcon")»
   }
})",
        .given = 8,
        .accepted = {R"(Image ("AppIcon"))", R"(Image( "AppIcon" ))", R"(Image( "AppIcon"))", R"(Image("AppIcon" ))",
                     R"(Image ( "AppIcon" ))"},
        .success = "The app icon now shows on the screen, at its own size.",
        .steps = {"Create an Image view.", R"(Pass it the name "AppIcon".)"},
        .colorCount = 62,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L2", .number = 2, .title = "System Icons",
        .instruction = R"(SF Symbols are icons that come with the system. An Image shows one when it is made with the systemName parameter. In line 1, show the symbol "sun.max".)",
        .code = R"(Image(«systemName: "sun.max"»))",
        .given = 8,
        .accepted = {R"(systemName: "sun.max")", R"(systemName:"sun.max")", R"(systemName : "sun.max")",
                     R"(systemName :"sun.max")", R"(systemName: "sun.max")", R"(systemName:"sun.max")",
                     R"(systemName : "sun.max")", R"(systemName :"sun.max")", R"(systemName: "sun.max")",
                     R"(systemName:"sun.max")"},
        .success = "A sun appears. There are thousands of symbols to choose from, and each one scales with the text around it.",
        .steps = {"Use the systemName parameter.", R"(Give it the name "sun.max".)"},
        .words = {{":", R"(")", "."}},
        .colorCount = 70,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L3", .number = 3, .title = "Color SF Symbols",
        .instruction = "A symbol is drawn in the foreground color, just like text. In line 2, color the sunset symbol .orange.",
        .code = R"(Image(systemName: "sunset.fill")
   «foregroundColor(.orange)»)",
        .given = 8,
        .accepted = {"foregroundColor(.orange)", "foregroundColor (.orange)", "foregroundColor( .orange)",
                     "foregroundColor( .orange )", "foregroundColor(.orange )", "foregroundColor ( .orange )",
                     "foregroundColor(.orange)", "foregroundColor (.orange)", "foregroundColor( .orange )"},
        .success = "An orange sunset: symbols take any color you give them.",
        .steps = {"Use the foregroundColor modifier.", "Pass it the color orange."},
        .words = {{"(", ".", ")"}},
        .colorCount = 70,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L4", .number = 4, .title = "Scalable SF Symbols",
        .instruction = "Symbols scale with the font, so the font modifier sets their size. In line 2, make the arrow as large as a .largeTitle.",
        .code = R"(Image(systemName: "arrow.right.circle")
   «.font(.largeTitle)»)",
        .given = 8,
        .accepted = {".font (.largeTitle)", ".font( .largeTitle)", ".font( .largeTitle )", ".font(.largeTitle )",
                     ".font ( .largeTitle )"},
        .success = "The arrow grew with the font. Symbols stay sharp at every size.",
        .steps = {"Use the font modifier.", "Pass it the largeTitle style."},
        .words = {{"(", ".", ")"}},
        .colorCount = 71,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L5", .number = 5, .title = "Resizable",
        .instruction = "An image is shown at its own size, even when that is bigger than the screen. To let SwiftUI scale it to the space it gets, make it resizable. In line 2, call resizable on the image.",
        .code = R"(Image("BackgroundImage")
   «resizable()»)",
        .given = 8,
        .accepted = {"resizable()", "resizable ()", "resizable( )", "resizable ( )"},
        .success = "The image now stretches to fill the space it is given.",
        .steps = {"Call the resizable modifier with empty brackets."},
        .words = {{"(", ".", ")"}},
        .colorCount = 73,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L6", .number = 6, .title = "Aspect Ratio",
        .instruction = "A resizable image is stretched out of shape to fill its frame. The aspect ratio modifier keeps its proportions. In line 3, keep the proportions and let the image fill the frame with the .fill content mode.",
        .code = R"(Image("BackgroundImage")
   resizable() // fills image view
   «.aspectRatio(contentMode: .fill)»)",
        .given = 8,
        .accepted = {".aspectRatio (contentMode: .fill)", ".aspectRatio( contentMode: .fill)",
                     ".aspectRatio(contentMode:.fill)", ".aspectRatio(contentMode : .fill)",
                     ".aspectRatio(contentMode: .fill )", ".aspectRatio( contentMode: .fill )",
                     ".aspectRatio(contentMode :.fill)", ".aspectRatio ( contentMode: .fill )",
                     ".aspectRatio(contentMode:.fill)", ".aspectRatio( contentMode: .fill )"},
        .success = "The image fills its frame without being stretched; whatever does not fit is cut off.",
        .steps = {"Use the aspectRatio modifier.", "Set the contentMode parameter to fill."},
        .words = {{"(", ".", ":", ")"}},
        .colorCount = 77,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L7", .number = 7, .title = "Image Shadows",
        .instruction = "A shadow lifts a view off the background. Its radius says how far the shadow spreads. In line 2, add a shadow with a radius of 10.",
        .code = R"(Image("UserImage")
   «.shadow(radius: 10)»)",
        .given = 8,
        .accepted = {".shadow(radius: 10)", ".shadow (radius: 10)", ".shadow( radius: 10)", ".shadow(radius:10)",
                     ".shadow(radius : 10)", ".shadow(radius: 10 )", ".shadow( radius: 10 )"},
        .success = "The image now casts a soft shadow with a radius of 10.",
        .steps = {"Use the shadow modifier.", "Set its radius to 10."},
        .words = {{"(", ".", ":", ")"}},
        .colorCount = 77,
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L8", .number = 8, .title = "Circular Image",
        .instruction = "Clipping cuts a view to the outline of a shape: everything outside the shape is hidden. In line 2, clip the user image to a Circle.",
        .code = R"(Image("UserImage")
   «.clipShape(Circle())»)",
        .given = 8,
        .accepted = {".clipShape (Circle())", ".clipShape( Circle())", ".clipShape(Circle() )", ".clipShape( Circle() )",
                     ".clipShape(Circle ())", ".clipShape(Circle( ))", ".clipShape ( Circle() )",
                     ".clipShape( Circle() )", ".clipShape (Circle())"},
        .success = "A round profile picture, as seen in many apps.",
        .steps = {"Clip the image with the clipShape modifier to the shape Circle()."},
        .words = {{"(", ".", ":", ")"}},
        .colorCount = 78,
        .search = "clipShape",
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L9", .number = 9, .title = "Image Border 1/2",
        .instruction = "An overlay draws another view on top of a view, in the same frame. That is how the round image gets its border. In line 3, add an empty overlay; the next lesson fills it.",
        .code = R"(Image("UserImage")
   .clipShape(Circle())
   «.overlay()»)",
        .given = 8,
        .accepted = {".overlay()", ".overlay ()", ".overlay( )", ".overlay ()"},
        .success = "The overlay is in place. Next, a circle inside it becomes the border.",
        .steps = {"Add the overlay modifier with empty brackets."},
        .words = {{"(", ".", ":", ")"}},
        .colorCount = 79,
        .search = "overlay",
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L10", .number = 10, .title = "Image Border 2/2",
        .instruction = "Inside the overlay a Circle is drawn, and its stroke becomes the border of the image. In line 4, stroke the circle in black with a line width of 2.",
        .code = R"(Image("UserImage")
   .clipShape(Circle())
   .overlay(
       Circle()«.stroke(Color.black, lineWidth: 2)»))",
        .given = 8,
        .accepted = {".stroke(Color.black,lineWidth: 2)", ".stroke (Color.black, lineWidth: 2)",
                     ".stroke( Color.black, lineWidth: 2)", ".stroke(Color.black , lineWidth: 2)",
                     ".stroke(Color.black, lineWidth:2)", ".stroke(Color.black,lineWidth:2)",
                     ".stroke( Color.black,lineWidth: 2)", ".stroke( Color.black , lineWidth: 2)",
                     ".stroke(Color.black ,lineWidth: 2)", ".stroke (Color.black,lineWidth: 2)",
                     ".stroke( Color.black, lineWidth:2)", ".stroke (Color.black, lineWidth:2)",
                     ".stroke(Color.black,lineWidth: 2)", ".stroke (Color.black, lineWidth: 2)",
                     ".stroke( Color.black, lineWidth: 2)", ".stroke(Color.black, lineWidth:2)",
                     ".stroke(Color.black,lineWidth:2)"},
        .success = "You created an overlay and drew a circle with a black border of thickness 2 in it.",
        .steps = {"Use the stroke modifier.", "Pass it the color Color.black.", "Set lineWidth to 2."},
        .words = {{"(", ".", ",", ":", ")"}},
        .colorCount = 80,
        .search = "overlay",
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L11", .number = 11, .title = "Drawing Solid Shapes 1/2",
        .instruction = "Shapes such as Rectangle and Circle fill all the space they are offered. A frame gives a view a fixed size. In line 5, make the rectangle 400 points wide and 100 points high.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       Rectangle()
           «.frame(width: 400, height: 100)»
   }
})",
        .given = 8,
        .accepted = {".frame(width:400, height: 100)", ".frame(width: 400,height: 100)", ".frame(width: 400, height:100)",
                     ".frame(width:400,height:100)", ".frame( width: 400, height: 100)",
                     ".frame(width: 400, height: 100 )", ".frame (width: 400, height: 100)",
                     ".frame(width: 400 , height: 100)", ".frame(width:400, height:100)",
                     ".frame(width : 400, height : 100)", ".frame( width: 400, height: 100 )",
                     ".frame(width: 400,height:100)", ".frame(width:400,height:100)"},
        .success = "The rectangle is now 400 by 100 points, filled in the default color.",
        .steps = {"Use the frame modifier.", "Set width to 400 and height to 100."},
        .words = {{"(", ".", ",", ":", ")"}},
        .colorCount = 79,
        .search = "overlay",
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L12", .number = 12, .title = "Drawing Solid Shapes 2/2",
        .instruction = "A shape is filled with the foreground color unless you choose another. In line 5, fill the rectangle with Color.gray.",
        .code = R"(import SwiftUI
struct ContentView : View {
   var body: some View {
       Rectangle()
           «.fill(Color.gray)»
           .frame(width: 400, height: 100)
   }
})",
        .accepted = {".fill(Color.gray)", ".fill (Color.gray)", ".fill( Color.gray)", ".fill(Color.gray )",
                     ".fill( Color.gray )", ".fill ( Color.gray )", ".fill(Color.gray)"},
        .success = "A gray rectangle, 400 by 100 points. Fill and frame work on every shape.",
        .steps = {"Use the fill modifier.", "Pass it the color Color.gray."},
        .words = {{"(", ".", ",", ":", ")"}},
        .colorCount = 81,
        .search = "overlay",
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L13", .number = 13, .title = "Background Image",
        .instruction = R"(The background modifier takes any view, an image too, and draws it behind the view it modifies. In line 3, put the image "BackgroundImage" behind the text.)",
        .code = R"(Text("Awesome Tutorial")
   .background(
       «Image("BackgroundImage")»
           .resizable()
           .frame(width: 200, height: 80))
   }
})",
        .lines = 8,
        .accepted = {R"(Image("BackgroundImage"))", R"(Image ("BackgroundImage"))", R"(Image( "BackgroundImage"))",
                     R"(Image("BackgroundImage" ))", R"(Image( "BackgroundImage" ))", R"(Image ( "BackgroundImage" ))",
                     R"(Image ( "BackgroundImage"))", R"(Image("BackgroundImage"))"},
        .success = "The text now stands on a background image, resized to 200 by 80 points.",
        .steps = {"Create an Image view.", R"(Pass it the name "BackgroundImage".)"},
        .words = {{"(", R"(")", ")"}},
        .colorCount = 81,
        .search = "overlay",
    });

    addSwiftUILesson(chapter, {
        .id = "CH3L14", .number = 14, .title = "Clipping Images",
        .instruction = "An image that fills its frame may still draw outside of it. Clipping cuts off everything beyond the frame. In line 6, clip the view to its frame.",
        .code = R"(Text("Awesome Tutorial")
   .background(
       Image("BackgroundImage")
           .resizable()
           .frame(width: 200, height: 80))
           «.clipped()»
   }
})",
        .accepted = {".clipped()", ".clipped( )", ".clipped ()"},
        .success = "Nothing spills over any more: the image ends exactly at its frame.",
        .steps = {"Use the clipped modifier.", "It takes no arguments, so add empty brackets."},
        .words = {{"(", ".", ")"}},
        .colorCount = 81,
        .search = "overlay",
    });
}
// clang-format on
