// Sentences a user reads to teach the recogniser their voice.
#include "TrainingSentences.h"

namespace voice {

const QStringList& TrainingSentences()
{
    static const QStringList sentences{
        QStringLiteral("The yellow kite drifted over the quiet harbor"),
        QStringLiteral("Bright orange leaves covered the narrow garden path"),
        QStringLiteral("My brother fixed the broken fence with rusty nails"),
        QStringLiteral("She poured warm milk into a chipped blue mug"),
        QStringLiteral("A heavy truck rumbled past the sleepy village"),
        QStringLiteral("The children giggled while feeding bread to the ducks"),
        QStringLiteral("Please bring a jacket because the evening gets chilly"),
        QStringLiteral("Thick fog rolled across the valley before sunrise"),
        QStringLiteral("He whistled a cheerful tune while washing the dishes"),
        QStringLiteral("The museum displays ancient coins and painted vases"),
        QStringLiteral("Our neighbor grows huge pumpkins behind her shed"),
        QStringLiteral("A sudden gust knocked the umbrella out of his hand"),
        QStringLiteral("The puppy chewed a hole through my favorite shoe"),
        QStringLiteral("Fresh strawberries taste sweeter in early summer"),
        QStringLiteral("Grandfather keeps his old letters in a wooden chest"),
        QStringLiteral("The violin player bowed deeply after the concert"),
        QStringLiteral("Wet sand stuck to our feet on the long beach walk"),
        QStringLiteral("The baker shapes the dough into little round loaves"),
        QStringLiteral("A shy deer peeked through the tall birch trees"),
        QStringLiteral("Thunder echoed loudly across the empty parking lot"),
        QStringLiteral("The pilot checked the engines before takeoff"),
        QStringLiteral("Soft jazz played quietly in the crowded cafe"),
        QStringLiteral("Keep the glass jar away from the hot stove"),
        QStringLiteral("The judge listened carefully to both witnesses"),
        QStringLiteral("Purple grapes hung heavily from the twisted vines"),
        QStringLiteral("A flock of geese flew south over the frozen lake"),
        QStringLiteral("The mechanic wiped grease from his oily fingers"),
        QStringLiteral("We watched the fireworks sparkle above the river"),
        QStringLiteral("The lazy cat stretched out on the sunny porch"),
        QStringLiteral("Chocolate cake is my sister's favorite dessert"),
        QStringLiteral("A gentle breeze carried the smell of fresh pine"),
        QStringLiteral("The farmer loaded hay bales onto the wagon"),
        QStringLiteral("Heavy boots left deep prints in the muddy field"),
        QStringLiteral("The teacher wrote a short poem on the board"),
        QStringLiteral("Silver spoons rattled inside the kitchen drawer"),
        QStringLiteral("The sailor tied a thick knot around the mast"),
        QStringLiteral("Children splashed happily in the shallow pool"),
        QStringLiteral("The castle walls overlooked a peaceful meadow"),
        QStringLiteral("A tiny spider spun its web across the doorway"),
        QStringLiteral("The journalist typed quickly to meet her deadline"),
    };
    return sentences;
}

} // namespace voice
