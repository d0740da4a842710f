#include <gtest/gtest.h>

#include "web/page_model.h"
#include "web_fixture.h"

namespace {

FormVar* AddField(FormVariablen& fields, const std::string& type, const std::string& name,
                  const std::string& value, bool checked = false)
{
    FormVar* f = fields.add();
    f->type = type;
    f->name = name;
    f->value = value;
    f->checked = checked;
    return f;
}

std::string Checks(const FormVariablen& fields)
{
    std::string marks;
    for (const auto& f : fields.items)
        marks += f->checked ? 'x' : '-';
    return marks;
}

struct ToggleCase {
    const char* type;
    std::vector<const char*> values;  // of the fields named "n"
    const char* list;                 // given to set
    const char* checked;              // x or - per field
};

class SetToggles : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(SetToggles, ChecksTheListedValues)
{
    const ToggleCase& c = GetParam();
    Formular form;
    for (const char* v : c.values)
        AddField(*form.fields, c.type, "n", v, true);
    form.fields->set("n", c.list);
    EXPECT_EQ(Checks(*form.fields), c.checked) << c.type << " set to " << c.list;
}

INSTANTIATE_TEST_SUITE_P(Cases, SetToggles, ::testing::Values(
    ToggleCase{"checkbox", {"wert1", "wert2", "wert3"}, "wert1,wert3", "x-x"},
    ToggleCase{"checkbox", {"wert1", "wert2", "wert3"}, "", "---"},
    // A value holding a comma matches only the whole of it.
    ToggleCase{"checkbox", {"a,b"}, "x,a,b", "x"},
    ToggleCase{"checkbox", {"a,b"}, "a", "-"},
    ToggleCase{"checkbox", {"a,b"}, "b,c", "-"},
    ToggleCase{"checkbox", {"wert1"}, "wert", "-"},
    // Of several radio buttons in the list the last one stays checked.
    ToggleCase{"radio", {"a", "b", "c"}, "a,c", "--x"},
    ToggleCase{"radio", {"a", "b", "c"}, "b", "-x-"},
    ToggleCase{"radio", {"a", "b", "c"}, "", "---"}));

TEST(FormVariablen, SetWritesEveryOtherFieldOfTheName)
{
    Formular form;
    FormVariablen& fields = *form.fields;
    AddField(fields, "text", "t", "1");
    AddField(fields, "CHECKBOX", "t", "c");  // not a checkbox: types are case-sensitive
    AddField(fields, "text", "other", "keep");
    AddField(fields, "text", "t", "2");
    fields.set("t", "neu");
    EXPECT_EQ(fields.items[0]->value, "neu");
    EXPECT_EQ(fields.items[1]->value, "neu");
    EXPECT_EQ(fields.items[2]->value, "keep");
    EXPECT_EQ(fields.items[3]->value, "neu");
    ASSERT_EQ(fields.Count(), 4u);
}

TEST(FormVariablen, RadioUncheckOnlyTouchesSameNameAndType)
{
    Formular form;
    FormVariablen& fields = *form.fields;
    AddField(fields, "radio", "r", "a");
    AddField(fields, "radio", "s", "a", true);
    AddField(fields, "checkbox", "r", "z", true);
    fields.set("r", "a,q");
    EXPECT_EQ(Checks(fields), "xx-");
}

TEST(FormVariablen, SetOfAnUnknownNameAppendsAHiddenField)
{
    WebRun w;
    w.host.s.debugLevel = 1;
    Formular form;
    AddField(*form.fields, "text", "a", "1");
    form.fields->set("neu", "wert", &w.run);
    ASSERT_EQ(form.fields->Count(), 2u);
    const FormVar& f = *form.fields->items[1];
    EXPECT_EQ(f.type, "hidden");
    EXPECT_EQ(f.name, "neu");
    EXPECT_EQ(f.value, "wert");
    EXPECT_EQ(w.host.output(), std::vector<std::string>{"FormVar neu nicht gefunden, wurde jetzt angelegt."});

    w.host.s.debugLevel = 0;
    form.fields->set("noch", "x", &w.run);
    EXPECT_EQ(form.fields->Count(), 3u);
    EXPECT_EQ(w.host.output().size(), 1u);
}

TEST(FormVariablen, GetJoinsTheContributingValues)
{
    Formular form;
    FormVariablen& fields = *form.fields;
    AddField(fields, "text", "p", "a");
    AddField(fields, "text", "p", "");
    AddField(fields, "", "p", "c");
    AddField(fields, "text", "q", "");
    AddField(fields, "text", "q", "b");
    AddField(fields, "checkbox", "k", "1", true);
    AddField(fields, "checkbox", "k", "2");
    AddField(fields, "radio", "k", "3", true);
    EXPECT_EQ(fields.get("p"), "a,,c");
    EXPECT_EQ(fields.get("q"), "b");
    EXPECT_EQ(fields.get("k"), "1,3");
    EXPECT_EQ(fields.get("none"), "");
    EXPECT_TRUE(fields.exists("q"));
    EXPECT_FALSE(fields.exists("Q"));
}

TEST(FormVariablen, DelRemovesOnlyTheFirstOfTheName)
{
    Formular form;
    FormVariablen& fields = *form.fields;
    AddField(fields, "text", "d", "1");
    AddField(fields, "text", "x", "2");
    AddField(fields, "text", "d", "3");
    fields.del("d");
    ASSERT_EQ(fields.Count(), 2u);
    EXPECT_EQ(fields.items[0]->value, "2");
    EXPECT_EQ(fields.items[1]->value, "3");
    fields.del("missing");
    EXPECT_EQ(fields.Count(), 2u);
}

TEST(FormVariablen, LookUpsFollowFieldsAddedAndRemovedBetweenThem)
{
    Formular form;
    FormVariablen& fields = *form.fields;
    AddField(fields, "text", "a", "1");
    AddField(fields, "text", "b", "2");
    EXPECT_EQ(fields.get("a"), "1");
    // Fields added after a look-up, by the page and by set.
    AddField(fields, "text", "a", "3");
    fields.set("c", "4");
    EXPECT_EQ(fields.get("a"), "1,3");
    EXPECT_EQ(fields.get("c"), "4");
    // A removal moves the later fields down.
    fields.del("a");
    EXPECT_EQ(fields.get("a"), "3");
    EXPECT_EQ(fields.get("b"), "2");
    fields.set("a", "5");
    fields.del("b");
    EXPECT_EQ(fields.get("a"), "5");
    EXPECT_EQ(fields.get("c"), "4");
    EXPECT_FALSE(fields.exists("b"));
    ASSERT_EQ(fields.Count(), 2u);
    EXPECT_EQ(fields.items[0]->value, "5");
    EXPECT_EQ(fields.items[1]->value, "4");
}

TEST(FormVariablen, DumpShowsWhatWouldBeSent)
{
    WebRun w;
    Formulare forms;
    Formular* form = forms.Add("u", 2);
    ASSERT_NE(form, nullptr);
    FormVariablen& fields = *form->fields;
    AddField(fields, "text", "t", "wert");
    AddField(fields, "checkbox", "on", "1", true);
    AddField(fields, "checkbox", "off", "2");
    FormVar* sel = AddField(fields, "", "s", "ignored");
    VarOption* first = sel->options->add();
    first->text = "x";
    VarOption* second = sel->options->add();
    second->hasValue = true;
    second->value = "2";
    fields.dump(w.run);
    second->selected = true;
    fields.dump(w.run);
    EXPECT_EQ(w.host.output(), (std::vector<std::string>{
        "Variable Form 3: t=wert", "Variable Form 3: on=1", "Variable Form 3: off=",
        "Variable Form 3: s=x",
        "Variable Form 3: t=wert", "Variable Form 3: on=1", "Variable Form 3: off=",
        "Variable Form 3: s=2"}));
}

TEST(Optionen, SelectedValueTakesTheFirstSelected)
{
    Optionen options;
    EXPECT_EQ(options.selectedValue(), "");
    VarOption* a = options.add();
    a->text = "a";
    VarOption* b = options.add();
    b->text = "b";
    VarOption* c = options.add();
    c->hasValue = true;
    c->text = "c";  // a value attribute wins over the text, even when empty
    EXPECT_EQ(options.selectedValue(), "a");
    b->selected = c->selected = true;
    EXPECT_EQ(options.selectedValue(), "b");
    b->selected = false;
    EXPECT_EQ(options.selectedValue(), "");
}

TEST(Formulare, NumbersAreUnique)
{
    Formulare forms;
    Formular* page = forms.Add("http://h/p", 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->action, "http://h/p");
    EXPECT_EQ(page->method, "GET");
    EXPECT_EQ(page->name, "");
    EXPECT_EQ(page->fields->owner, page);

    EXPECT_EQ(forms.Add("a", 0, "", "a", "post"), nullptr);
    Formular* made = forms.Add("a", 5, "", "a", "post");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->method, "post");
    EXPECT_EQ(forms.Count(), 2);
    EXPECT_EQ(forms.items.at(1).get(), made);
    EXPECT_EQ(forms.Find(5), made);
    EXPECT_EQ(forms.Find(0), page);
    EXPECT_EQ(forms.Find(1), nullptr);
}

TEST(LinkList, NumbersFollowTheCount)
{
    LinkList links;
    Link* a = links.Add("a.html", "A", 1);
    Link* b = links.Add("b.html", "", 3);
    EXPECT_EQ(a->number, 0);
    EXPECT_EQ(b->number, 1);
    EXPECT_EQ(links.at(1), b);
    EXPECT_EQ(links.at(2), nullptr);
    LinkList moved = std::move(links);
    EXPECT_EQ(moved.at(0), a);
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_STREQ(LinkKindName(1), "Link");
    EXPECT_STREQ(LinkKindName(2), "Frame");
    EXPECT_STREQ(LinkKindName(3), "MetaReresh");
    EXPECT_STREQ(LinkKindName(0), "Unbekannt");
}

TEST(Frames, ClearReleasesTheReferencesAndWarnsAboveTen)
{
    for (int count : {10, 11}) {
        WebRun w;
        auto window = std::make_shared<int>(1);
        std::weak_ptr<int> watch = window;
        {
            Frames frames;
            frames.note = [&w](const std::string& text) { w.run.showNote(text); };
            for (int i = 0; i < count; ++i) {
                Frame* f = frames.Add("u" + std::to_string(i), 100 + i, window, "f");
                f->doc = std::make_shared<int>(2);
                f->links->Add("l", "t", 1);
            }
            window.reset();
            EXPECT_FALSE(watch.expired());
            EXPECT_EQ(frames.Count(), count);
            EXPECT_EQ(frames.Find(103)->url, "u3");
            EXPECT_EQ(frames.Find(99), nullptr);
            frames.Clear();
            EXPECT_EQ(frames.Count(), 0);
            EXPECT_TRUE(watch.expired());
        }
        const auto expected = count > 10 ? std::vector<std::string>{"FrameList.size() > 10!"} : std::vector<std::string>{};
        EXPECT_EQ(w.host.notes(), expected) << count << " frames";
    }
}

}  // namespace
