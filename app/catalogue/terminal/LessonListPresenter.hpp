#pragma once
// A chapter's lesson list in the terminal: "COURSE n" and the title as header, then one line per lesson
// with its number, title and a checkmark once completed. Enter opens the lesson, Esc goes back. Back from
// a lesson, the focus stands on the lesson the learner was on (Next may have moved them on). ▲ and ▼ at
// the side mark lessons above and below the rows shown; a title too long for its column ends in "…".
//
// Failure contract: none.
#include "app/catalogue/ChapterViewController.hpp"
#include "app/catalogue/terminal/ListNavigation.hpp"
#include "platform/terminal/Presenter.hpp"

#include <memory>

class LessonListPresenter : public term::Presenter {
  public:
    explicit LessonListPresenter(std::shared_ptr<ChapterViewController> screen);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    std::weak_ptr<ChapterViewController> screen_;
    ListNavigation list_;
    int pageRows_ = 10;
    // The lesson the focus was last moved to on coming back.
    Lesson::Ptr focusedFor_;
    term::KeyTable keys_;
};
