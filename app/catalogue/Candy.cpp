#include "app/catalogue/Candy.hpp"

#include "platform/foundation/Text.hpp"

std::vector<Candy> makeCandies(const std::vector<Chapter::Ptr>& chapters) {
    std::vector<Candy> candies;
    for (const auto& chapter : chapters) {
        for (const auto& lesson : chapter->lessons) {
            std::string searchString = lesson->title + " " + chapter->title;
            if (lesson->searchText) searchString += " " + *lesson->searchText;
            candies.push_back(
                Candy{chapter->title, lesson->title.str(), chapter, lesson, std::move(searchString)});
        }
    }
    return candies;
}

std::vector<Candy> filterCandies(const std::vector<Candy>& candies, std::string_view searchText) {
    const std::string needle = ns::lowercased(searchText);
    std::vector<Candy> matches;
    for (const auto& candy : candies) {
        if (ns::lowercased(candy.searchString).find(needle) != std::string::npos) matches.push_back(candy);
    }
    return matches;
}
