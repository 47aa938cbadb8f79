OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0, 2, 65280, Col du Lautaret  north side, 1, 0, 0, 65280
 4
+45.0000000, +006.0000000, 0, 328.08399, , , 
+45.1000000, +006.1000000, 0, 656.16798, , , 
+45.2000000, +006.2000000, 1, 984.25197, , , 
+45.3000000, +006.3000000, 1, -777, , , 
