#!/usr/bin/env python3
"""Draws the program's hand pointer and writes it as a 32 x 32 cursor file.

Usage: draw_hand.py <output.CUR>. The picture below is the whole design:
'#' outline, '.' white fill, ' ' transparent. The hot spot is the tip of
the pointing finger.
"""
import struct
import sys

PICTURE = """
         ##
        #..#
        #..#
        #..#
        #..#
        #..###
        #..#..###
        #..#..#..##
     ## #..#..#..#.#
    #..##........#..#
    #...#...........#
     #..............#
      #.............#
      #.............#
       #...........#
       #...........#
        #.........#
        #.........#
        ###########
"""
HOT_SPOT = (10, 1)
SIZE = 32


def rows_of(picture):
    lines = picture.strip("\n").split("\n")
    rows = [line.ljust(SIZE)[:SIZE] for line in lines]
    return rows + [" " * SIZE] * (SIZE - len(rows))


def cursor_bytes(rows):
    colour = {"#": (0, 0, 0, 255), ".": (255, 255, 255, 255), " ": (0, 0, 0, 0)}
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        bits = 0
        for x, cell in enumerate(row):
            red, green, blue, alpha = colour[cell]
            pixels += bytes((blue, green, red, alpha))
            if alpha == 0:
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_SPOT[0], HOT_SPOT[1],
                        len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(cursor_bytes(rows_of(PICTURE)))
