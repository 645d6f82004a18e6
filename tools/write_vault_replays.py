#!/usr/bin/env python3
"""Writes the vault's replays (Worlds/vault.*.replay) from the routes below.

A route is a list of legs: a comment and the presses that walk it. The
replays play with seed 0, so the sentries and bats move the same way each
run; after a change to the vault's scripts or boards, run this again and
check the replays still end as tests/runner/vault_test.cpp expects.

    tools/write_vault_replays.py [FOLDER]   (default: Worlds/ of the sources)
"""
import os
import sys

WALK = 6   # ticks between two steps of the hero (it moves every 3 ticks)
MENU = 2   # ticks between two keys in a menu or a scroll window

TITLE = ('Title menu: four steps down to "Enter the vault", then Enter.',
         [('key_down', 4, MENU), ('key_enter', 1, MENU), ('wait', 8)])

SIGN_AS = lambda name: (
    'Up to the sign, which asks for a name: down to its field, rub out '
    '"Stranger", type %s and close it.' % name,
    [('key_up', 3, WALK), ('wait', 10), ('key_down', 3, MENU), ('key_backspace', 8, MENU),
     ('type', name), ('key_enter', 1, MENU), ('wait', 20)])

TO_THE_KEY = [
    ('one step east of the sign, then up to the row of the key', [('key_right', 1, WALK), ('key_up', 22, WALK)]),
    ('east to the rubble', [('key_right', 36, WALK)]),
    ('shoot a hole into it', [('key_space', 1, WALK)]),
    ('in, and take the key', [('key_right', 7, WALK)]),
]

THROUGH_THE_DOOR = [
    ('back out', [('key_left', 6, WALK)]),
    ("down to the door's row", [('key_down', 24, WALK)]),
    ('the hunter waits in that row: turn west and shoot it down', [('key_left', 1, WALK), ('key_space', 8, WALK)]),
    ('east to the door, open it and step through', [('key_right', 16, WALK)]),
    ("up to the stair's row", [('key_up', 24, WALK)]),
    ('east onto the stair, down into the cave', [('key_right', 5, WALK), ('wait', 20)]),
]

THROUGH_THE_CAVE = [
    ('east along the tunnel, over a box of bullets, into the cavern', [('key_right', 35, WALK)]),
    ('up two rows', [('key_up', 2, WALK)]),
    ('east across the cavern and along the far tunnel onto the exit', [('key_right', 40, WALK)]),
]

REPLAYS = {
    'win': ('The vault, won: the sign, the key behind the rubble, the door, '
            'the stair and the dark cave to the exit.',
            1800, [TITLE, SIGN_AS('Ann')] + TO_THE_KEY + THROUGH_THE_DOOR + THROUGH_THE_CAVE),
    'lose': ('The vault, lost: the hero stands in the hunter\'s row until shot down.',
             900, [TITLE, ('down into the hunter\'s row, and stand there', [('key_down', 18, WALK)])]),
    'shed': ('The vault, explored: the hero walks into the shed and takes its box of bullets.',
             900, [TITLE, ('down into the shed', [('key_down', 24, WALK)]),
                   ('east to the box', [('key_right', 8, WALK)])]),
    'save': ('The vault, saved: the key taken, the game saved in slot 1, then quit.',
             900, [TITLE, SIGN_AS('Ann')] + TO_THE_KEY + [
                 ('Escape opens the menu; S, then F1 saves in slot 1', [
                     ('wait', 10), ('key_esc', 1, MENU), ('key_s', 1, MENU), ('key_f1', 1, MENU), ('wait', 30)]),
                 ('Escape, then Q quits', [('key_esc', 1, MENU), ('key_q', 1, MENU)])]),
    'load': ('The vault, loaded: from the title, slot 1 is loaded (see vault.save.replay) and the game '
             'goes on: the hero steps back out of the cell of the key.',
             150, [('Escape closes the title menu; Escape again opens the game menu; L, then F1 loads slot 1', [
                 ('wait', 4), ('key_esc', 1, MENU), ('wait', 4), ('key_esc', 1, MENU), ('key_l', 1, MENU),
                 ('key_f1', 1, MENU), ('wait', 30)])] + THROUGH_THE_DOOR[:1]),
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
                key, count, gap = press
                for _ in range(count):
                    lines.append('%d %s down' % (tick, key))
                    lines.append('%d %s up' % (tick + 1, key))
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
