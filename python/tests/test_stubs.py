"""The type stubs match the module: the same names, signatures and defaults."""

import ast
import os

import vornel

STUB_PATH = os.path.join(os.path.dirname(vornel.__file__), "vornel.pyi")


def stub_tree():
    with open(STUB_PATH, encoding="utf-8") as stub:
        return ast.parse(stub.read())


def public(names):
    return {name for name in names if not name.startswith("_")}


def stub_signature(function):
    """The stub's parameters written as the docstrings write them."""
    arguments = function.args
    parts = []
    defaults = [None] * (len(arguments.args) - len(arguments.defaults)) + arguments.defaults
    for argument, default in zip(arguments.args, defaults):
        parts.append(argument.arg + ("" if default is None else "=" + ast.unparse(default)))
    if arguments.kwonlyargs:
        parts.append("*")
    for argument, default in zip(arguments.kwonlyargs, arguments.kw_defaults):
        parts.append(argument.arg + ("" if default is None else "=" + ast.unparse(default)))
    return "%s(%s)" % (function.name, ", ".join(parts))


def test_the_stubs_lie_next_to_the_module():
    assert os.path.isfile(STUB_PATH)


def test_the_stubs_name_every_public_function_and_class():
    tree = stub_tree()
    stubbed = {node.name for node in tree.body
               if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    stubbed |= {node.target.id for node in tree.body if isinstance(node, ast.AnnAssign)}
    assert public(stubbed) == public(dir(vornel))


def test_stub_signatures_are_those_the_docstrings_show():
    signatures = {}
    for node in stub_tree().body:
        if isinstance(node, ast.FunctionDef):
            # Overloads of one function differ only in types and defaults' types.
            signatures.setdefault(node.name, stub_signature(node))
    assert signatures
    for name, signature in signatures.items():
        documented = getattr(vornel, name).__doc__.split(" -> ")[0]
        assert documented == signature, name


def test_stub_attributes_of_the_result_classes_exist():
    for node in stub_tree().body:
        if isinstance(node, ast.ClassDef):
            attributes = {item.name for item in node.body if isinstance(item, ast.FunctionDef)}
            assert attributes == public(dir(getattr(vornel, node.name))), node.name
