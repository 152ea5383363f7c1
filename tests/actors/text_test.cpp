#include "actors/text.h"

#include <gtest/gtest.h>

#include <memory>

#include "actors/actor_list.h"
#include "config/settings.h"
#include "helpers/font.h"
#include "tests/support/headless_game.h"

namespace {

using testing_support::HeadlessGame;
using vtr::ActorList;

constexpr float kFrame = 1.0f / 60.0f;
const hgeColor kOpaqueYellow{1.0f, 1.0f, 0.7f, 1.0f};

std::shared_ptr<vtr::Text> MakeText(vtr::Game* game, float lifetime) {
  return std::make_shared<vtr::Text>(kOpaqueYellow, game, "x 3", hgeVector2(40.0f, 50.0f),
                                     lifetime, 1.0f);
}

TEST(Text, StartsInvisibleWhateverAlphaItWasGiven) {
  HeadlessGame session;
  auto text = MakeText(session.game, 2.0f);
  EXPECT_EQ(text->color.a, 0.0f);
  EXPECT_EQ(text->kind, vtr::kText);
  ASSERT_NE(text->font, nullptr);
  EXPECT_EQ(text->font, vtr::Settings::Instance().TextFont);

  text->Render();
  EXPECT_EQ(text->font->GetColor(), 0x00FFFFB2u);  // 0.7 x 255 = 178.5, truncated
  EXPECT_EQ(text->font->GetScale(), 1.0f);
}

TEST(Text, TurnsDyingWhenItsAgeReachesItsLifetimeWithoutFadingYet) {
  HeadlessGame session;
  auto text = MakeText(session.game, 0.5f);
  text->Update(0.25f);
  EXPECT_FALSE(text->dying);
  EXPECT_FLOAT_EQ(text->color.a, 0.1f);
  text->Update(0.25f);  // age 0.5: dying, and still fading in
  EXPECT_TRUE(text->dying);
  EXPECT_TRUE(text->alive);
  EXPECT_FLOAT_EQ(text->color.a, 0.2f);
  EXPECT_FLOAT_EQ(text->scale, 1.05f);
  text->Update(0.01f);
  EXPECT_FLOAT_EQ(text->color.a, 0.15f);
  EXPECT_TRUE(text->alive);
  EXPECT_EQ(text->x, 40.0f);
  EXPECT_EQ(text->y, 50.0f);
}

TEST(Text, ZeroLifetimeIsRemovedInItsSecondUpdate) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  auto text = MakeText(session.game, 0.0f);
  list.Add(text);
  list.Update(kFrame);
  EXPECT_TRUE(text->dying);
  EXPECT_FLOAT_EQ(text->color.a, 0.4f * kFrame);
  EXPECT_EQ(list.size(), 1u);
  list.Update(kFrame);
  EXPECT_FALSE(text->alive);
  EXPECT_TRUE(list.empty());
}

TEST(Text, ComboTextFadesInForTwoSecondsThenOutInAboutASixth) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  auto text = MakeText(session.game, 2.0f);
  list.Add(text);
  int frames = 0;
  while (!text->dying && frames < 1000) {
    list.Update(kFrame);
    ++frames;
  }
  EXPECT_NEAR(frames, 120, 1);
  EXPECT_NEAR(text->color.a, 0.8f, 0.01f);
  EXPECT_NEAR(text->scale, 1.2f, 0.01f);

  text->Render();
  EXPECT_EQ(text->font->GetScale(), text->scale);  // left set on the shared font
  EXPECT_EQ(text->font->GetColor() >> 24, static_cast<DWORD>(text->color.a * 255.0f));

  int fading = 0;
  while (!list.empty() && fading < 100) {
    list.Update(kFrame);
    ++fading;
  }
  EXPECT_EQ(fading, 10);  // 0.8 at 5 a second, in steps of 1/12
}

}  // namespace
