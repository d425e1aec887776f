// The phrases of each state of the program, and the speech that must be turned away.
#pragma once
#include "voice/VoicePhrase.h"

#include <QString>
#include <vector>

namespace voicetest {

struct CommandSet {
    QString name;
    std::vector<voice::VoicePhrase> phrases;
};

inline std::vector<voice::VoicePhrase> Numbers(int first, int last)
{
    std::vector<voice::VoicePhrase> v;
    for (int n = first; n <= last; ++n)
        v.push_back({QString::number(n), QString::number(n)});
    return v;
}

inline std::vector<voice::VoicePhrase> operator+(std::vector<voice::VoicePhrase> a,
                                                     const std::vector<voice::VoicePhrase>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The phrases live at once in each state of the program the user can speak to.
inline std::vector<CommandSet> LiveCommandSets()
{
    using P = std::vector<voice::VoicePhrase>;
    const P main{{"CDRom", "Eject"},    {"readClip", "Clipboard"}, {"sayTime", "Time"}, {"sayDate", "Date"},
                 {"sayNow", "Now"},     {"calendar", "Calendar"},  {"setAlarm", "Alarm"}, {"run", "Run"},
                 {"about", "About"},    {"Quit", "Quit"}};
    P mainDoorOpen = main;
    mainDoorOpen[0].phrase = "Close";
    const P alarm{{"setHour", "Hour"}, {"setMinute", "Minute"}, {"setSecond", "Second"}, {"setAM", "AM"},
                  {"setPM", "PM"},     {"OK", "Okay"},          {"Cancel", "Cancel"},    {"setAlarmOn", "Alarm On"}};
    P alarmArmed = alarm;
    alarmArmed.back() = {"setAlarmOff", "Alarm Off"};
    const P calendar{{"OK", "Okay"},           {"nextYear", "Next Year"},         {"nextMonth", "Next Month"},
                     {"nextDay", "Next Day"},  {"previousYear", "Previous Year"}, {"previousMonth", "Previous Month"},
                     {"previousDay", "Previous Day"}};
    const P run{{"browse", "Browse"}, {"Cancel", "Cancel"}, {"OK", "Okay"}};
    return {
        {"Main menu", main},
        {"Main menu, door open", mainDoorOpen},
        {"Calendar", calendar},
        {"Run", run},
        {"Alarm, hour box (1-12)", alarm + Numbers(1, 12)},
        {"Alarm, minute/second box (0-59)", alarmArmed + Numbers(0, 59)},
        {"Alarm, AM/PM box", alarm},
    };
}

// Speech that is none of the phrases: what a user might say to someone else while holding the key.
inline std::vector<QString> OutOfGrammarSentences()
{
    return {
        "What is the weather like today", "Can you hear me", "I think I left the kettle on",
        "Please pass the salt", "The meeting starts in ten minutes", "Where did I put my glasses",
        "That was a really good film", "Let me think about it", "Hello there", "Good morning everybody",
        "Turn the music down please", "We should go shopping tomorrow", "My phone is ringing",
        "How much does it cost", "The cat is sleeping on the sofa", "Send the report to Maria",
        "I need a cup of coffee", "Open the window", "Yesterday was very cold", "Thank you very much",
        "Could you repeat that", "The train was late again", "Water the plants", "Hmm", "Never mind",
        "Which button do I press", "Books are on the table", "Lunch is ready", "Bring me the newspaper",
        "This program is strange", "Wait a moment", "Banana", "Shut up", "Volume up", "Print the document",
        "Stop", "Yes please", "No thanks", "Come here", "Sorry", "Excuse me", "Maybe later", "Good night",
        "I don't know", "See you later", "Go away", "What happened", "Oh dear",
        "Is it raining outside", "Put the kettle on", "Where are my keys", "The dog wants a walk",
        "Call me back later", "That is not right", "Pick up the children at four", "Let's have dinner",
        "Fine thanks", "Really", "Absolutely not", "Over there",
    };
}

// Said instead of a phrase, one sound off: each belongs with the phrase it nearly is.
struct NearMiss {
    QString phrase, said;
};

inline std::vector<NearMiss> NearMisses()
{
    return {
        {"Eject", "Reject"},        {"Eject", "Ejects"},         {"Clipboard", "Clapboard"},
        {"Clipboard", "Keyboard"},  {"Time", "Timer"},           {"Time", "Tide"},
        {"Time", "Dime"},           {"Date", "Dates"},           {"Date", "Gate"},
        {"Date", "Data"},           {"Now", "Cow"},              {"Now", "Noun"},
        {"Calendar", "Colander"},   {"Calendar", "Calendars"},   {"Alarm", "Alarming"},
        {"Alarm", "Alarms"},        {"Alarm", "Hello"},          {"Run", "Rum"},
        {"Run", "Ran"},             {"Run", "Sun"},              {"About", "Abort"},
        {"About", "A boat"},        {"Quit", "Quiet"},           {"Quit", "Clip"},
        {"Quit", "Quick"},          {"Close", "Cloak"},          {"Close", "Glows"},
        {"Hour", "Tower"},          {"Hour", "Power"},           {"Minute", "Minutes"},
        {"Minute", "Limit"},        {"Second", "Seconds"},       {"Second", "Beckoned"},
        {"AM", "A N"},              {"AM", "I am"},              {"PM", "P N"},
        {"PM", "B M"},              {"Okay", "Obey"},            {"Okay", "Hockey"},
        {"Cancel", "Cancelled"},    {"Cancel", "Cancel that"},   {"Cancel", "Council"},
        {"Alarm On", "Alarm Song"}, {"Alarm On", "Alarm Gone"},  {"Alarm Off", "Alarm Cough"},
        {"Alarm Off", "Alarm Of"},  {"Next Year", "Next Ear"},   {"Next Year", "Text Year"},
        {"Next Month", "Next Mouth"}, {"Next Month", "Next Months"}, {"Next Month", "Next time"},
        {"Next Day", "Next Days"},  {"Next Day", "Next Way"},    {"Previous Year", "Previous"},
        {"Previous Year", "Previous Years"}, {"Previous Month", "Previous Mouth"},
        {"Previous Day", "Previous Days"}, {"Previous Day", "Previous Way"},
        {"Browse", "Browser"},      {"Browse", "Blouse"},        {"Browse", "Drowse"},
        {"10", "Tim"},              {"10", "Tin"},               {"5", "Fine"},
        {"9", "Nina"},              {"7", "Seventh"},            {"6", "Sixth"},
        {"4", "Fort"},              {"2", "Tooth"},              {"3", "Tree"},
        {"30", "Thirsty"},          {"5", "Fifth"},              {"12", "Twelfth"},
        {"11", "Eleventh"},         {"16", "Sixty"},             {"17", "Seventy"},
        {"18", "Eighty"},           {"19", "Ninety"},            {"1", "Won ton"},
        {"8", "Hate"},              {"0", "Hero"},               {"50", "Fifty fifty"},
    };
}

// Kept aside from all tuning of the rejection: every third sentence and near miss, chosen by place
// before any figure was looked at.
inline bool HeldOut(size_t index)
{
    return index % 3 == 2;
}

} // namespace voicetest
