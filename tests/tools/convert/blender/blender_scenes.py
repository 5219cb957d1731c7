# Builds small animated scenes in Blender, exports each as glTF, renders chosen frames with
# the Workbench engine (flat, transparent film) and, when given the converter and the
# program, converts each scene, renders the same times with the program and prints how
# far the silhouettes overlap (intersection over union).
#
#   blender -b --factory-startup --python blender_scenes.py -- OUT_DIR [CONVERTER PROGRAM]
#
# Cameras see 45 degrees across and 34 down, as the program's scene camera does: 640 x 480
# pictures with pixels a little wider than high.
import json
import math
import os
import subprocess
import sys

import bpy
from mathutils import Vector

FPS = 24
WIDTH, HEIGHT = 640, 480
VIEW_X = math.radians(45.0)
VIEW_Y = math.radians(34.0)
PIXEL_ASPECT = (math.tan(VIEW_X / 2) / math.tan(VIEW_Y / 2)) / (WIDTH / HEIGHT)


def empty_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = FPS
    scene.frame_start = 0
    scene.render.engine = 'BLENDER_WORKBENCH'
    scene.display.shading.light = 'FLAT'
    scene.display.shading.color_type = 'SINGLE'
    scene.render.film_transparent = True
    scene.render.resolution_x = WIDTH
    scene.render.resolution_y = HEIGHT
    scene.render.resolution_percentage = 100
    scene.render.pixel_aspect_x = PIXEL_ASPECT
    scene.render.pixel_aspect_y = 1.0
    scene.render.image_settings.file_format = 'PNG'
    scene.render.image_settings.color_mode = 'RGBA'
    return scene


def link(obj):
    bpy.context.scene.collection.objects.link(obj)
    return obj


def look_at(obj, target):
    direction = Vector(target) - obj.location
    obj.rotation_mode = 'QUATERNION'
    obj.rotation_quaternion = direction.to_track_quat('-Z', 'Y')


def add_camera(location, target):
    data = bpy.data.cameras.new('Camera')
    data.sensor_fit = 'HORIZONTAL'
    data.angle = VIEW_X
    data.clip_start = 0.1
    camera = link(bpy.data.objects.new('Camera', data))
    camera.location = location
    look_at(camera, target)
    bpy.context.scene.camera = camera
    return camera


def mesh_object(name, make):
    bpy.ops.object.select_all(action='DESELECT') if bpy.context.view_layer.objects else None
    make()
    obj = bpy.context.active_object
    obj.name = name
    return obj


def key(obj, frame, *paths):
    for path in paths:
        obj.keyframe_insert(data_path=path, frame=frame)


def chain_scene():
    """A parent chain: a turning block, an arm on it turning about its own axis, a ball at its end."""
    empty_scene()
    base = mesh_object('Base', lambda: bpy.ops.mesh.primitive_cube_add(size=1.0))
    arm = mesh_object('Arm', lambda: bpy.ops.mesh.primitive_cylinder_add(radius=0.2, depth=1.5, vertices=24))
    tip = mesh_object('Tip', lambda: bpy.ops.mesh.primitive_uv_sphere_add(radius=0.35, segments=16, ring_count=8))
    arm.parent = base
    arm.location = (1.5, 0, 0)
    arm.rotation_euler = (0, math.radians(90), 0)
    tip.parent = arm
    tip.location = (0, 0, 0.9)
    base.rotation_euler = (0, 0, 0)
    key(base, 0, 'rotation_euler')
    base.rotation_euler = (0, 0, math.radians(120))
    key(base, 48, 'rotation_euler')
    key(arm, 0, 'rotation_euler')
    arm.rotation_euler = (math.radians(150), math.radians(90), 0)
    key(arm, 48, 'rotation_euler')
    base.location = (0, 0, 0)
    key(base, 0, 'location')
    base.location = (0, 0, 1.0)
    key(base, 48, 'location')
    add_camera((0, -7, 3), (0, 0, 0.5))
    sun = link(bpy.data.objects.new('Sun', bpy.data.lights.new('Sun', 'SUN')))
    sun.rotation_euler = (math.radians(40), 0, math.radians(30))
    bpy.context.scene.frame_end = 48
    return [0, 24, 48]


def flight_scene():
    """A camera flight round three shapes, ending straight above them; a point and a spot light."""
    empty_scene()
    mesh_object('Block', lambda: bpy.ops.mesh.primitive_cube_add(size=1.5))
    cone = mesh_object('Cone', lambda: bpy.ops.mesh.primitive_cone_add(radius1=0.8, depth=1.6, vertices=24))
    cone.location = (3, 2, 0)
    ring = mesh_object('Ring', lambda: bpy.ops.mesh.primitive_torus_add(major_radius=1.0, minor_radius=0.3, major_segments=24, minor_segments=8))
    ring.location = (-3, 1, 0.5)
    ring.rotation_euler = (math.radians(60), 0, 0)
    camera = add_camera((0, -11, 2), (0, 0, 0))
    key(camera, 0, 'location', 'rotation_quaternion')
    camera.location = (9, -3, 4)
    look_at(camera, (0, 0, 0))
    key(camera, 36, 'location', 'rotation_quaternion')
    camera.location = (0.5, 0, 13)
    look_at(camera, (0, 0, 0))
    key(camera, 72, 'location', 'rotation_quaternion')
    point = link(bpy.data.objects.new('Lamp', bpy.data.lights.new('Lamp', 'POINT')))
    point.location = (2, -2, 3)
    spot = link(bpy.data.objects.new('Spot', bpy.data.lights.new('Spot', 'SPOT')))
    spot.location = (-2, -3, 4)
    look_at(spot, (0, 0, 0))
    bpy.context.scene.frame_end = 72
    return [0, 36, 54, 72]


def arm_scene():
    """A skinned arm of two bones bending at the elbow while the shoulder swings."""
    empty_scene()
    armature = bpy.data.armatures.new('Rig')
    rig = link(bpy.data.objects.new('Rig', armature))
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode='EDIT')
    upper = armature.edit_bones.new('Upper')
    upper.head, upper.tail = (0, 0, 0), (0, 0, 2)
    lower = armature.edit_bones.new('Lower')
    lower.head, lower.tail = (0, 0, 2), (0, 0, 4)
    lower.parent = upper
    lower.use_connect = True
    bpy.ops.object.mode_set(mode='OBJECT')

    # A tube of rings every quarter unit, weighted by height across the elbow.
    verts, faces, segments = [], [], 16
    rings = [0.25 * k for k in range(17)]
    for z in rings:
        for s in range(segments):
            a = 2 * math.pi * s / segments
            verts.append((0.35 * math.cos(a), 0.35 * math.sin(a), z))
    for r in range(len(rings) - 1):
        for s in range(segments):
            a, b = r * segments + s, r * segments + (s + 1) % segments
            faces.append((a, b, b + segments, a + segments))
    faces.append(tuple(range(segments - 1, -1, -1)))
    top = (len(rings) - 1) * segments
    faces.append(tuple(top + s for s in range(segments)))
    mesh = bpy.data.meshes.new('Tube')
    mesh.from_pydata(verts, [], faces)
    tube = link(bpy.data.objects.new('Tube', mesh))
    up = tube.vertex_groups.new(name='Upper')
    low = tube.vertex_groups.new(name='Lower')
    for i, (_, _, z) in enumerate(verts):
        w = min(1.0, max(0.0, (z - 1.5) / 1.0))
        if w < 1.0:
            up.add([i], 1.0 - w, 'REPLACE')
        if w > 0.0:
            low.add([i], w, 'REPLACE')
    tube.parent = rig
    modifier = tube.modifiers.new('Rig', 'ARMATURE')
    modifier.object = rig

    bpy.ops.object.mode_set(mode='POSE') if False else None
    pose_upper, pose_lower = rig.pose.bones['Upper'], rig.pose.bones['Lower']
    for bone in (pose_upper, pose_lower):
        bone.rotation_mode = 'XYZ'
    key(pose_upper, 0, 'rotation_euler')
    key(pose_lower, 0, 'rotation_euler')
    pose_upper.rotation_euler = (0, 0, math.radians(-40))
    pose_lower.rotation_euler = (math.radians(95), 0, 0)
    key(pose_upper, 48, 'rotation_euler')
    key(pose_lower, 48, 'rotation_euler')
    rig.location = (0, 0, -1.5)
    add_camera((7, -7, 2.5), (0, 0, 1.0))
    bpy.context.scene.frame_end = 48
    return [0, 16, 32, 48]


SCENES = {'chain': chain_scene, 'flight': flight_scene, 'arm': arm_scene}


def export_and_render(name, frames, out):
    scene = bpy.context.scene
    path = os.path.join(out, name + '.gltf')
    # Positions only: the program computes its own normals.
    bpy.ops.export_scene.gltf(filepath=path, export_format='GLTF_EMBEDDED', export_cameras=True, export_lights=True,
                              export_animations=True, export_skins=True, export_apply=False, export_normals=False,
                              export_texcoords=False, export_materials='NONE')
    shots = []
    for frame in frames:
        scene.frame_set(frame)
        picture = os.path.join(out, '%s_blender_%03d.png' % (name, frame))
        scene.render.filepath = picture
        bpy.ops.render.render(write_still=True)
        shots.append((frame, picture))
        write_mask(picture, os.path.join(out, '%s_mask_%03d.png' % (name, frame)))
    return path, shots


def write_mask(picture, path):
    """The render's silhouette, white on black, as a small grey PNG."""
    w, h, inside = silhouette(picture, True)
    mask = bpy.data.images.new('mask', w, h, alpha=False)
    pixels = []
    for on in inside:
        v = 1.0 if on else 0.0
        pixels.extend((v, v, v, 1.0))
    mask.pixels = pixels
    mask.filepath_raw = path
    mask.file_format = 'PNG'
    settings = bpy.context.scene.render.image_settings
    settings.color_mode, settings.color_depth, settings.compression = 'BW', '8', 100
    mask.save_render(path)
    settings.color_mode = 'RGBA'
    bpy.data.images.remove(mask)


def silhouette(path, from_alpha):
    image = bpy.data.images.load(path)
    pixels = list(image.pixels)
    w, h = image.size
    bpy.data.images.remove(image)
    if from_alpha:
        return w, h, [pixels[4 * i + 3] > 0.5 for i in range(w * h)]
    return w, h, [max(pixels[4 * i:4 * i + 3]) > 0.03 for i in range(w * h)]


def overlap(a, b):
    both = sum(1 for x, y in zip(a, b) if x and y)
    either = sum(1 for x, y in zip(a, b) if x or y)
    return both / either if either else 1.0


def main():
    args = sys.argv[sys.argv.index('--') + 1:] if '--' in sys.argv else []
    if not args:
        print('usage: blender -b --factory-startup --python blender_scenes.py -- OUT_DIR [CONVERTER PROGRAM]')
        sys.exit(2)
    out = os.path.abspath(args[0])
    os.makedirs(out, exist_ok=True)
    results = {}
    for name, build in SCENES.items():
        frames = build()
        path, shots = export_and_render(name, frames, out)
        results[name] = {'gltf': path, 'frames': frames}
        if len(args) < 3:
            continue
        converter, program = args[1], args[2]
        lws = os.path.join(out, name + '.lws')
        run = subprocess.run([converter, path, lws, '--ambient', '1'], capture_output=True, text=True)
        print(run.stderr)
        if run.returncode != 0:
            results[name]['error'] = run.stderr
            continue
        env = dict(os.environ, SDL_VIDEODRIVER='offscreen', SDL_AUDIODRIVER='dummy')
        figures = []
        for frame, picture in shots:
            seconds = frame / FPS
            ours = os.path.join(out, '%s_program_%03d.png' % (name, frame))
            subprocess.run([program, '--scene', lws, '--screenshot', '%g' % seconds, ours], env=env, cwd=out,
                           capture_output=True, text=True)
            if not os.path.exists(ours):
                figures.append((seconds, None))
                continue
            _, _, theirs_mask = silhouette(picture, True)
            _, _, ours_mask = silhouette(ours, False)
            figures.append((seconds, overlap(theirs_mask, ours_mask)))
        results[name]['overlap'] = figures
        for seconds, figure in figures:
            print('OVERLAP %s t=%.2f %s' % (name, seconds, 'none' if figure is None else '%.4f' % figure))
    with open(os.path.join(out, 'results.json'), 'w') as f:
        json.dump(results, f, indent=1)


main()
