#!/usr/bin/env python3
"""Writes the vault's replays (Worlds/vault.*.replay) from the routes below.

A route is a list of legs: a comment and the presses that walk it. The
replays play with seed 0, so the sentries and bats move the same way each
run; after a change to the vault's scripts or boards, run this again and
check the replays still end as tests/runner/vault_test.cpp expects.

Presses:
    ('key_x', count, gap)        count taps one tick long, gap ticks apart
    ('key_x', count, gap, hold)  the same, each tap held hold ticks
    ('wait', ticks)              nothing for a while
    ('type', text)               text typed into the open window

The hero steps on the tick after a fresh press; a key held on steps again
nine ticks later and then every fourth tick. One press of Space is one
shot, with a reload of 8 ticks.

    tools/write_vault_replays.py [FOLDER [NAME...]]   (default: Worlds/ of the sources)
"""
import os
import sys

WALK = 6   # ticks between two machine taps of an arrow
SHOOT = 12  # ticks between two machine taps of Space (longer than the reload)
MENU = 2   # ticks between two keys in a menu or a scroll window

# A human: every key stays down 6 ticks and up at least 6 more, so every
# press is a tap of 5 to 8 ticks and nothing hangs on a single tick.
HUMAN_TAP = 6
HUMAN_GAP = 6


def human_taps(key, count):
    return (key, count, HUMAN_TAP + HUMAN_GAP, HUMAN_TAP)


TITLE = ('Title menu: four steps down to "Enter the vault", then Enter.',
         [('key_down', 4, MENU), ('key_enter', 1, MENU), ('wait', 8)])

SIGN_AS = lambda name: (
    'Up to the sign, whose window opens on its empty name field: type %s at once '
    'and close it with Enter.' % name,
    [('key_up', 3, WALK), ('wait', 10), ('type', name), ('key_enter', 1, MENU), ('wait', 20)])

TO_THE_KEY = [
    ('one step east of the sign, then up to the row of the key', [('key_right', 1, WALK), ('key_up', 22, WALK)]),
    ('east to the rubble', [('key_right', 36, WALK)]),
    ('shoot a hole into it', [('key_space', 1, SHOOT)]),
    ('in, and take the key', [('key_right', 7, WALK)]),
]

THROUGH_THE_DOOR = [
    ('back out', [('key_left', 6, WALK)]),
    ("down to the door's row", [('key_down', 24, WALK)]),
    ('the hunter comes along that row: turn west and shoot it down', [('key_left', 1, WALK), ('key_space', 6, SHOOT)]),
    ('east to the door, open it and step through', [('key_right', 16, WALK)]),
    ("up to the stair's row", [('key_up', 24, WALK)]),
    ('east onto the stair, down into the cave', [('key_right', 5, WALK), ('wait', 20)]),
]

THROUGH_THE_CAVE = [
    ('east along the tunnel, over a crate, into the cavern', [('key_right', 35, WALK)]),
    ('up two rows', [('key_up', 2, WALK)]),
    ('east across the cavern and along the far tunnel onto the stair up', [('key_right', 42, WALK), ('wait', 20)]),
]

THROUGH_THE_CRYPT = [
    ('west against the wall, whatever steps the last board left over, then east, down and round to the '
     'south side of the boulder', [
        ('key_left', 10, WALK), ('key_right', 27, WALK), ('key_down', 7, WALK), ('key_right', 2, WALK), ('key_up', 1, WALK)]),
    ('push it north onto the plate: each push is a bump, then a step', [('key_up', 20, WALK)]),
    ('down to the gate\'s row and east through the open gate onto the stair', [
        ('key_down', 4, WALK), ('key_right', 42, WALK), ('wait', 20)]),
]

THROUGH_THE_ARMORY = [
    ('west against the wall, then east, and down into the storeroom', [
        ('key_left', 10, WALK), ('key_right', 9, WALK), ('key_down', 13, WALK)]),
    ('down and east to the red key', [('key_down', 3, WALK), ('key_right', 10, WALK)]),
    ('out of the storeroom and up to the door\'s row', [('key_up', 16, WALK)]),
    ('east through the red door', [('key_right', 23, WALK)]),
    ('down to the blue key\'s row, east to the key', [('key_down', 15, WALK), ('key_right', 11, WALK)]),
    ('up to the door\'s row and east through the blue door onto the lift', [
        ('key_up', 15, WALK), ('key_right', 24, WALK), ('wait', 30)]),
]

THROUGH_THE_GATE = [
    ('west against the wall, then east the whole length of the hall, out before the portcullis falls', [
        ('key_left', 10, WALK), ('key_right', 152, WALK), ('wait', 20)]),
]

def human(legs):
    """The same legs at a human pace: every key tapped for 6 ticks, Space
    with 14 ticks between taps and the other keys with 6, waits a little
    longer."""
    slow = []
    for comment, presses in legs:
        paced = []
        for press in presses:
            if press[0] in ('wait', 'type'):
                paced.append(press if press[0] == 'type' else ('wait', press[1] + 10))
            elif press[0] == 'key_space':
                paced.append((press[0], press[1], HUMAN_TAP + 14, HUMAN_TAP))
            else:
                paced.append(human_taps(press[0], press[1]))
        slow.append((comment, paced))
    return slow


WIN = ([TITLE, SIGN_AS('Ann')] + TO_THE_KEY + THROUGH_THE_DOOR + THROUGH_THE_CAVE + THROUGH_THE_CRYPT
       + THROUGH_THE_ARMORY + THROUGH_THE_GATE)

# A human in the door's row waits for the hunter instead of shooting
# blind: when it lines up in the hero's column and flashes its warning,
# the hero turns north (a step), shoots it down and steps back.
HUMAN_DUEL = ('wait in the door\'s row for the hunter; when it lines up to the north, turn and shoot it down',
              [('wait', 210), ('key_up', 1, WALK), ('key_space', 4, SHOOT), ('wait', 50), ('key_down', 1, WALK)])
HUMAN_WIN = [HUMAN_DUEL if leg is THROUGH_THE_DOOR[2] else leg for leg in WIN]

REPLAYS = {
    'win': ('The vault, won: the sign, the key behind the rubble, the hunter, the door, the stair, '
            'the dark cave, the boulder of the crypt, the keys of the armory and the race through the last hall.',
            4300, WIN),
    'human': ('The vault, won at a human pace: the route of vault.win.replay with every key a tap of 6 ticks, '
              'five steps a second and three shots a second.',
              8700, human(HUMAN_WIN)),
    'lose': ('The vault, lost: the hero stands in the hunter\'s row, ignoring every warning, until shot down.',
             1500, [TITLE, ('down into the hunter\'s row, and stand there', [('key_down', 18, WALK)])]),
    'shed': ('The vault, explored: every bullet spent into the wall, the hero walks into the shed and '
             'its crate fills the pouch again, twice.',
             500, [TITLE, ('twelve shots west into the wall, then three more that find no bullet', [
                 ('key_left', 1, WALK), ('key_space', 15, SHOOT)]),
                 ('down into the shed', [('key_down', 24, WALK)]),
                 ('east to the crate, which fills the pouch', [('key_right', 8, WALK)]),
                 ('two shots, and into the crate again, which fills it up once more', [
                     ('key_space', 2, SHOOT), ('key_right', 1, WALK)])]),
    'save': ('The vault, saved: the key taken, the game saved in slot 1, then quit.',
             900, [TITLE, SIGN_AS('Ann')] + TO_THE_KEY + [
                 ('Escape opens the menu; S, then F1 saves in slot 1', [
                     ('wait', 10), ('key_esc', 1, MENU), ('key_s', 1, MENU), ('key_f1', 1, MENU), ('wait', 30)]),
                 ('Escape, then Q quits', [('key_esc', 1, MENU), ('key_q', 1, MENU)])]),
    'load': ('The vault, loaded: the vault is entered from the title, slot 1 is loaded (see '
             'vault.save.replay) and the game goes on: the hero steps back out of the cell of the key.',
             200, [TITLE, ('Escape opens the game menu; L, then F1 loads slot 1', [
                 ('wait', 4), ('key_esc', 1, MENU), ('key_l', 1, MENU), ('key_f1', 1, MENU), ('wait', 30)])]
             + THROUGH_THE_DOOR[:1]),
    'shots': ('Checks the trigger: Space held a whole second, then five taps of 6 ticks and five of '
              '1 tick, all into the west wall: eleven shots.',
              400, [TITLE, ('turn west', [('key_left', 1, WALK)]),
                    ('hold Space for a second', [('key_space', 1, 70, 60)]),
                    ('five human taps', [('key_space', 5, 14, 6)]),
                    ('five short taps', [('key_space', 5, 12)])]),
    'quit': ('Checks the title: Quit tells how to quit and leaves the title working; Enter shows the menu '
             'again and the vault is entered; before that, the game menu opened on the title offers no Save.',
             200, [('down to "Quit", then Enter', [('key_down', 6, MENU), ('key_enter', 1, MENU), ('wait', 30)]),
                   ('Enter closes the window; Escape opens the game menu, Escape closes it', [
                       ('key_enter', 1, MENU), ('wait', 10), ('key_esc', 1, 10), ('key_esc', 1, 10)]),
                   ('Enter shows the title menu again: into the vault', [('key_enter', 1, 10)] + TITLE[1])]),
    'sign': ('Checks the sign: a name typed at once, another written later, and an empty one, which '
             'stays Stranger.',
             400, [TITLE, SIGN_AS('Ann'), ('a step back, and up to the sign again: its greeting offers another name', [
                 ('key_down', 1, WALK), ('key_up', 2, WALK), ('wait', 10), ('key_down', 3, MENU),
                 ('key_enter', 1, MENU), ('wait', 10), ('type', 'Bo'), ('key_enter', 1, MENU), ('wait', 20)]),
                 ('once more, but Enter with the field left empty', [
                     ('key_down', 1, WALK), ('key_up', 2, WALK), ('wait', 10), ('key_down', 3, MENU),
                     ('key_enter', 1, MENU), ('wait', 10), ('key_enter', 1, MENU), ('wait', 20)])]),
    'crypt': ('Checks the crypt: the boulder pushed the wrong way, east, and the lever rolls it back.',
              2100, [TITLE, SIGN_AS('Ann')] + TO_THE_KEY + THROUGH_THE_DOOR + THROUGH_THE_CAVE + [
                  ('west against the wall, east, down to the boulder\'s row, and two pushes east', [
                      ('key_left', 10, WALK), ('key_right', 27, WALK), ('key_down', 5, WALK), ('key_right', 4, WALK)]),
                  ('down and west to the lever', [('key_down', 10, WALK), ('key_left', 6, WALK)])]),
    'late': ('Checks the last hall: the hero dawdles until the clock runs out, is carried back to the '
             'start, and then runs through.',
             7000, WIN[:-1] + [('wait for the portcullis', [('wait', 2600)])] + THROUGH_THE_GATE),
    'darkshed': ('Checks the lantern in the shed: after the door has put the torches out, the hero walks back '
                 'west and into the shed, and the lantern lights round it there.',
                 1500, [TITLE, SIGN_AS('Ann')] + TO_THE_KEY + THROUGH_THE_DOOR[:4] + [
                     ('back west and down into the shed', [('key_left', 50, WALK), ('key_down', 23, WALK)])]),
    'dark': ('Checks the lantern: the whole route to the cave, then the right arrow held for 80 ticks '
             'in the dark; the run ends with the key still down.',
             1640, [TITLE, SIGN_AS('Ann')] + TO_THE_KEY + THROUGH_THE_DOOR + [
                 ('hold the right arrow in the dark', [('key_right', 1, 90, 85)])]),
}


def write(folder, name, about, ticks, legs):
    lines = ['# ' + about,
             '# quav-runner --headless --ticks %d --seed 0 --input vault.%s.replay vault.zqav' % (ticks, name)]
    tick = 2
    for comment, presses in legs:
        lines.append('# ' + comment)
        for press in presses:
            if press[0] == 'wait':
                tick += press[1]
            elif press[0] == 'type':
                lines.append('%d type %s' % (tick, press[1]))
                tick += MENU
            else:
                key, count, gap = press[:3]
                hold = press[3] if len(press) > 3 else 1
                for _ in range(count):
                    lines.append('%d %s down' % (tick, key))
                    lines.append('%d %s up' % (tick + hold, key))
                    tick += gap
    with open(os.path.join(folder, 'vault.%s.replay' % name), 'w') as out:
        out.write('\n'.join(lines) + '\n')


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'Worlds')
    only = sys.argv[2:]
    for name, (about, ticks, legs) in REPLAYS.items():
        if not only or name in only:
            write(folder, name, about, ticks, legs)


if __name__ == '__main__':
    main()
